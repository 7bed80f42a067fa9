#include "RightsCells.h"

using namespace AgentsList;

namespace {

bool isFiche(QAnyStringView key)
{
    return QAnyStringView::equal(key, QLatin1StringView(FicheKey));
}

const YesNoRight* yesNoRight(QAnyStringView key)
{
    for (const YesNoRight& right : YesNoRights) {
        if (QAnyStringView::equal(key, QLatin1StringView(right.key)))
            return &right;
    }
    return nullptr;
}

bool granted(const Row& row, int column)
{
    return row.cells[column] == QLatin1StringView(Granted);
}

QString cell(bool grant)
{
    return grant ? grantedCell() : QString();
}

} // namespace

namespace RightsCells {

std::optional<int> MaxLevel(QAnyStringView key)
{
    if (isFiche(key))
        return 2;
    if (yesNoRight(key))
        return 1;
    return std::nullopt;
}

int Level(const Row& row, QAnyStringView key)
{
    if (isFiche(key))
        return granted(row, ColFicheTous) ? 2 : granted(row, ColFicheComment) ? 1 : 0;
    const YesNoRight* right = yesNoRight(key);
    return right && granted(row, right->column) ? 1 : 0;
}

void SetLevel(Row& row, QAnyStringView key, int level)
{
    if (isFiche(key)) {
        row.cells[ColFicheTous] = cell(level == 2);
        row.cells[ColFicheComment] = cell(level == 1 || level == 2);
        return;
    }
    if (const YesNoRight* right = yesNoRight(key))
        row.cells[right->column] = cell(level == 1);
}

void ApplyEdit(Row& row, const Row& edited, bool clearPassword)
{
    const QString& state = row.cells[ColChange];
    bool rights =
        state == QLatin1StringView(ChangeRights) || state == QLatin1StringView(ChangeBoth);
    bool password =
        state == QLatin1StringView(ChangePassword) || state == QLatin1StringView(ChangeBoth);
    for (int column = ColModifGroup; column <= ColFicheComment; ++column) {
        if (row.cells[column] != edited.cells[column]) {
            row.cells[column] = edited.cells[column];
            rights = true;
        }
    }
    password = password || clearPassword;
    row.cells[ColChange] = rights && password ? QLatin1StringView(ChangeBoth)
                           : rights           ? QLatin1StringView(ChangeRights)
                           : password         ? QLatin1StringView(ChangePassword)
                                              : QLatin1StringView();
}

} // namespace RightsCells
