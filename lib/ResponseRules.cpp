#include "lib/ResponseRules.h"

#include <cstring>

namespace {
struct KindNames
{
    RuleKind kind;
    const char *word;
    const char16_t *caption;
};
constexpr KindNames kindNames[] = {
    {RuleKind::Equals, "equals", u"完全一致"},
    {RuleKind::Starts, "starts", u"先頭一致"},
    {RuleKind::Ends, "ends", u"末尾一致"},
    {RuleKind::Contains, "contains", u"含む"},
};

const KindNames &NamesOf(RuleKind kind)
{
    return kindNames[int(kind)];
}

QString FieldName(RuleFault::Field field)
{
    return field == RuleFault::Field::Pattern ? QStringLiteral("受信パターン")
                                              : QStringLiteral("応答データ");
}

// The text's units, with a text of blanks only refused: a rule needs a byte to match and one to
// answer with.
HexText ParseRuleText(const QString &text, HexExtras extras)
{
    HexText parsed = ParseHexText(text, extras, maxRuleBytes);
    if (parsed.isValid() && parsed.size == 0) {
        parsed.fault = HexTextFault::Empty;
        parsed.position = 0;
    }
    return parsed;
}
} // namespace

QString RuleKindWord(RuleKind kind)
{
    return QString::fromLatin1(NamesOf(kind).word);
}

QString RuleKindCaption(RuleKind kind)
{
    return QString::fromUtf16(NamesOf(kind).caption);
}

bool RuleKindFromWord(const QString &word, RuleKind &kind)
{
    for (const KindNames &names : kindNames) {
        if (word.compare(QLatin1String(names.word), Qt::CaseInsensitive) == 0) {
            kind = names.kind;
            return true;
        }
    }
    return false;
}

QString DescribeRuleFault(const QString &subject, const RuleFault &fault, const ResponseRule &rule)
{
    const QString &text = fault.field == RuleFault::Field::Pattern ? rule.pattern : rule.reply;
    return DescribeHexFault(subject + FieldName(fault.field), fault.fault, fault.position, text,
                            maxRuleBytes);
}

RuleFault CompiledRule::compile(const ResponseRule &rule)
{
    const HexText pattern = ParseRuleText(rule.pattern, HexExtras::Wildcards);
    if (!pattern.isValid())
        return {RuleFault::Field::Pattern, pattern.fault, pattern.position};
    const HexText reply = ParseRuleText(rule.reply, HexExtras::Copies);
    if (!reply.isValid())
        return {RuleFault::Field::Reply, reply.fault, reply.position};

    m_kind = rule.kind;
    m_pattern = pattern.bytes;
    m_mask.clear();
    qsizetype runStart = 0;
    qsizetype runLength = m_pattern.size();
    if (!pattern.wildcards.isEmpty()) {
        m_mask.resize(m_pattern.size());
        runLength = 0;
        for (qsizetype index = 0, start = 0; index <= m_pattern.size(); ++index) {
            const bool wild = index == m_pattern.size() || pattern.wildcards.at(index);
            if (index < m_pattern.size())
                m_mask[index] = wild ? '\0' : '\xFF';
            if (!wild)
                continue;
            if (index - start > runLength) {
                runStart = start;
                runLength = index - start;
            }
            start = index + 1;
        }
    }
    m_run = m_pattern.mid(runStart, runLength);
    m_runOffset = runStart;
    m_reply = reply;
    m_blockNeeds = 0;
    for (const HexText::Copy &copy : reply.copies)
        m_blockNeeds = qMax(m_blockNeeds, copy.last + 1);
    return {};
}

bool CompiledRule::matchesAt(const QByteArray &block, qsizetype offset) const
{
    const char *data = block.constData() + offset;
    if (m_mask.isEmpty())
        return std::memcmp(data, m_pattern.constData(), size_t(m_pattern.size())) == 0;
    for (qsizetype index = 0; index < m_pattern.size(); ++index) {
        if ((data[index] ^ m_pattern.at(index)) & m_mask.at(index))
            return false;
    }
    return true;
}

bool CompiledRule::matches(const QByteArray &block) const
{
    const qsizetype size = block.size();
    if (size < m_blockNeeds || size < m_pattern.size())
        return false;
    switch (m_kind) {
    case RuleKind::Equals:
        return size == m_pattern.size() && matchesAt(block, 0);
    case RuleKind::Starts:
        return matchesAt(block, 0);
    case RuleKind::Ends:
        return matchesAt(block, size - m_pattern.size());
    case RuleKind::Contains:
        break;
    }
    if (m_run.isEmpty()) // ?? only: any block long enough
        return true;
    // Each place the run's first byte is found (memchr scans many bytes a step) is a candidate
    // for the run, and each place the run is found one for the whole pattern.
    const char *data = block.constData();
    const qsizetype lastRunAt = size - m_pattern.size() + m_runOffset;
    for (qsizetype from = m_runOffset; from <= lastRunAt;) {
        const auto *found = static_cast<const char *>(
            std::memchr(data + from, m_run.at(0), size_t(lastRunAt - from + 1)));
        if (!found)
            return false;
        const qsizetype at = found - data;
        if (std::memcmp(found, m_run.constData(), size_t(m_run.size())) == 0
            && (m_mask.isEmpty() || matchesAt(block, at - m_runOffset)))
            return true;
        from = at + 1;
    }
    return false;
}

QByteArray CompiledRule::answer(const QByteArray &block) const
{
    if (!matches(block))
        return {};
    QByteArray bytes;
    bytes.reserve(m_reply.size);
    qsizetype literal = 0;
    for (const HexText::Copy &copy : m_reply.copies) {
        bytes.append(m_reply.bytes.constData() + literal, copy.at - literal);
        bytes.append(block.constData() + copy.first, copy.last - copy.first + 1);
        literal = copy.at;
    }
    bytes.append(m_reply.bytes.constData() + literal, m_reply.bytes.size() - literal);
    return bytes;
}

RuleFault RuleMatcher::setRules(const QList<ResponseRule> &rules, int *faultyRule)
{
    std::vector<Entry> compiled;
    for (int index = 0; index < rules.size(); ++index) {
        Entry entry {index, {}};
        const RuleFault fault = entry.rule.compile(rules.at(index));
        if (fault.isFault()) {
            m_rules.clear();
            if (faultyRule)
                *faultyRule = index;
            return fault;
        }
        if (rules.at(index).on)
            compiled.push_back(std::move(entry));
    }
    m_rules = std::move(compiled);
    return {};
}

RuleMatcher::Answer RuleMatcher::answer(const QByteArray &block) const
{
    for (const Entry &entry : m_rules) {
        QByteArray bytes = entry.rule.answer(block);
        if (!bytes.isNull())
            return {entry.index, bytes};
    }
    return {};
}
