#pragma once

#include "lib/HexText.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

// Answers by rule: the first rule that is on and matches a received block answers it. A block is
// what arrives together, so a pattern never spans two blocks.
constexpr int maxResponseRules = 64;
constexpr qsizetype maxRuleBytes = 2048; // for a pattern and for a reply, copies included

enum class RuleKind { Equals, Starts, Ends, Contains };

// A rule as a person writes it: the pattern and reply are hex texts (see HexText.h).
struct ResponseRule
{
    bool on = true;
    RuleKind kind = RuleKind::Equals;
    QString pattern;
    QString reply;

    friend bool operator==(const ResponseRule &a, const ResponseRule &b)
    {
        return a.on == b.on && a.kind == b.kind && a.pattern == b.pattern && a.reply == b.reply;
    }
};

// The file's words for the kinds (equals, starts, ends, contains) and the window's (完全一致,
// 先頭一致, 末尾一致, 含む), in the order of RuleKind.
QString RuleKindWord(RuleKind kind);
QString RuleKindCaption(RuleKind kind);
// The kind a file word names, case-blind; false when it names none.
bool RuleKindFromWord(const QString &word, RuleKind &kind);

// Where a rule's text is at fault: which text, what, and where in it.
struct RuleFault
{
    enum class Field { Pattern, Reply };

    Field field = Field::Pattern;
    HexTextFault fault = HexTextFault::None;
    qsizetype position = -1;

    bool isFault() const { return fault != HexTextFault::None; }
};

// The sentence for a fault; subject names the rule ("ルール 3 の", "") and is followed by the
// text's name (受信パターン, 応答データ).
QString DescribeRuleFault(const QString &subject, const RuleFault &fault, const ResponseRule &rule);

// One rule read for matching: the pattern's bytes and mask and the reply's pieces, prepared once.
class CompiledRule
{
public:
    // Checks and prepares rule; the first fault (the pattern's before the reply's) when it has one.
    RuleFault compile(const ResponseRule &rule);

    // The answer to block, or a null array when the rule does not match it.
    QByteArray answer(const QByteArray &block) const;

private:
    bool matches(const QByteArray &block) const;
    // The pattern against block from offset on (the pattern fits there).
    bool matchesAt(const QByteArray &block, qsizetype offset) const;

    RuleKind m_kind = RuleKind::Equals;
    QByteArray m_pattern;
    QByteArray m_mask; // empty without ??; else 0xFF where a byte counts, 0 where ?? stands
    // For 含む: the longest run of the pattern without ?? (all of it when there is none), and
    // where it starts in the pattern.
    QByteArray m_run;
    qsizetype m_runOffset = 0;
    HexText m_reply;
    qsizetype m_blockNeeds = 0; // the shortest block every copy fits in
};

// The rules in their order, ready to answer blocks.
class RuleMatcher
{
public:
    struct Answer
    {
        int rule = -1; // index of the rule that answered (from 0), -1 when none did
        QByteArray bytes;
    };

    // Prepares rules (those switched off are kept out); on a fault, the matcher is left empty and
    // the fault is returned with the index of its rule.
    RuleFault setRules(const QList<ResponseRule> &rules, int *faultyRule = nullptr);

    bool isEmpty() const { return m_rules.empty(); }
    Answer answer(const QByteArray &block) const;

private:
    struct Entry
    {
        int index;
        CompiledRule rule;
    };
    std::vector<Entry> m_rules;
};
