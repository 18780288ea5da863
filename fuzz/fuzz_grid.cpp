// Blocks of any length, one after another, into the hex grid model: every cell matches the last
// block, and the model's change notifications alone keep a view's copy up to date.

#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"

#include <QAbstractItemModelTester>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

struct Cell
{
    QString text;
    bool holdsByte;
    bool operator==(const Cell &other) const
    {
        return text == other.text && holdsByte == other.holdsByte;
    }
};

Cell readCell(const HexGridModel &model, int line, int column)
{
    const QModelIndex index = model.index(line, column);
    return {model.data(index, Qt::DisplayRole).toString(),
            model.data(index, HexGridModel::HoldsByteRole).toBool()};
}

// What a view holds: filled when rows appear, refreshed only where dataChanged says.
class ViewCopy
{
public:
    explicit ViewCopy(HexGridModel &model) : m_model(model)
    {
        for (int line = 0; line < model.rowCount(); ++line)
            m_lines.push_back(readLine(line));
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                         [this](const QModelIndex &, int first, int last) {
                             m_lines.erase(m_lines.begin() + first, m_lines.begin() + last + 1);
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                         [this](const QModelIndex &, int first, int last) {
                             for (int line = first; line <= last; ++line)
                                 m_lines.insert(m_lines.begin() + line, readLine(line));
                         });
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                             for (int line = topLeft.row(); line <= bottomRight.row(); ++line)
                                 for (int column = topLeft.column(); column <= bottomRight.column();
                                      ++column)
                                     m_lines[line][column] = readCell(m_model, line, column);
                         });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] {
            m_lines.clear();
            for (int line = 0; line < m_model.rowCount(); ++line)
                m_lines.push_back(readLine(line));
        });
    }

    bool matchesModel() const
    {
        if (int(m_lines.size()) != m_model.rowCount())
            return false;
        for (int line = 0; line < m_model.rowCount(); ++line)
            if (m_lines[line] != readLine(line))
                return false;
        return true;
    }

private:
    std::vector<Cell> readLine(int line) const
    {
        std::vector<Cell> cells;
        for (int column = 0; column < HexGridModel::bytesPerLine; ++column)
            cells.push_back(readCell(m_model, line, column));
        return cells;
    }

    HexGridModel &m_model;
    std::vector<std::vector<Cell>> m_lines;
};

void checkShows(const HexGridModel &model, const QByteArray &block)
{
    const qsizetype shown = std::min<qsizetype>(block.size(), HexGridModel::maxBytes);
    const int lines = shown == 0 ? 1 : int((shown + 15) / 16);
    require(model.lineCount() == lines && model.rowCount() == lines, "wrong line count");
    require(model.columnCount() == 16, "wrong column count");
    for (int line = 0; line < lines; ++line) {
        for (int column = 0; column < 16; ++column) {
            const qsizetype position = qsizetype(line) * 16 + column;
            const Cell cell = readCell(model, line, column);
            if (position < shown) {
                char digits[3];
                std::snprintf(digits, sizeof digits, "%02X", unsigned(quint8(block[position])));
                require(cell.text == QLatin1String(digits) && cell.holdsByte, "byte cell wrong");
            } else {
                require(cell.text.isEmpty() && !cell.holdsByte, "empty cell wrong");
            }
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    HexGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ViewCopy view(model);
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeBool())
            model.prepareHeaders();
        const auto length = input.ConsumeIntegralInRange<size_t>(0, 3000);
        const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(length);
        const QByteArray block(reinterpret_cast<const char *>(bytes.data()),
                               qsizetype(bytes.size()));
        SetGridFromByteArray(model, block);
        checkShows(model, block);
        require(view.matchesModel(), "a view's copy went stale");
    }
    return 0;
}
