#include "RightsCells.h"

namespace {

const Rights::RightDef* find(QAnyStringView key)
{
    for (const Rights::RightDef& right : Rights::Table) {
        if (QAnyStringView::equal(key, QLatin1StringView(right.key)))
            return &right;
    }
    return nullptr;
}

bool isFiche(const Rights::RightDef* right)
{
    return right == &Rights::Fiche;
}

} // namespace

namespace RightsCells {

std::optional<int> MaxLevel(QAnyStringView key)
{
    const Rights::RightDef* right = find(key);
    if (!right)
        return std::nullopt;
    return isFiche(right) ? Rights::FicheAll : 1;
}

int Level(const AgentsList::Row& row, QAnyStringView key)
{
    const Rights::RightDef* right = find(key);
    if (!right)
        return 0;
    if (isFiche(right))
        return Rights::ficheLevel(row);
    return Rights::isGranted(row.cells[right->column]) ? 1 : 0;
}

void SetLevel(AgentsList::Row& row, QAnyStringView key, int level)
{
    const Rights::RightDef* right = find(key);
    if (!right)
        return;
    if (isFiche(right))
        Rights::setFicheLevel(row, level);
    else
        row.cells[right->column] = Rights::cellText(level == 1);
}

void ApplyEdit(AgentsList::Row& row, const AgentsList::Row& edited, bool clearPassword)
{
    Rights::Change change;
    for (int column = AgentsList::ColChangeGroup; column <= AgentsList::ColRecordsComment;
         ++column) {
        if (row.cells[column] != edited.cells[column]) {
            row.cells[column] = edited.cells[column];
            change.rights = true;
        }
    }
    change.password = clearPassword;
    Rights::mergeChange(row, change);
}

} // namespace RightsCells
