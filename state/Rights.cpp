#include "Rights.h"

using AgentsList::Row;

namespace Rights {

bool isGranted(const QString& cell)
{
    return cell == u"X";
}

QString cellText(bool granted)
{
    return granted ? QStringLiteral("X") : QString();
}

qint32 ficheLevel(const Row& row)
{
    if (isGranted(row.cells[AgentsList::ColRecordsAll]))
        return FicheAll;
    return isGranted(row.cells[AgentsList::ColRecordsComment]) ? FicheComment : FicheNone;
}

qint32 ficheLevelOfFilledCells(const Row& row)
{
    if (!row.cells[AgentsList::ColRecordsAll].isEmpty())
        return FicheAll;
    return row.cells[AgentsList::ColRecordsComment].isEmpty() ? FicheNone : FicheComment;
}

void setFicheLevel(Row& row, qint32 level)
{
    row.cells[AgentsList::ColRecordsAll] = cellText(level == FicheAll);
    row.cells[AgentsList::ColRecordsComment] = cellText(level == FicheAll || level == FicheComment);
}

void grantFicheLevel(Row& row, qint32 level)
{
    if (level == FicheAll)
        row.cells[AgentsList::ColRecordsAll] = cellText(true);
    if (level == FicheAll || level == FicheComment)
        row.cells[AgentsList::ColRecordsComment] = cellText(true);
}

bool isGrantedInFile(QByteArrayView value)
{
    return value == "1";
}

qint32 ficheLevelInFile(QByteArrayView value)
{
    if (value == "2")
        return FicheAll;
    return value == "1" ? FicheComment : FicheNone;
}

QByteArray fileValue(bool granted)
{
    return granted ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

QByteArray ficheFileValue(qint32 level)
{
    return QByteArray::number(level == FicheAll || level == FicheComment ? level : FicheNone);
}

Change changeOf(const QString& code)
{
    if (code == u"1")
        return {true, false};
    if (code == u"2")
        return {false, true};
    if (code == u"3")
        return {true, true};
    return {};
}

Change changeOf(const Row& row)
{
    return changeOf(row.cells[AgentsList::ColChangeState]);
}

QString changeCode(Change change)
{
    const int code = (change.rights ? 1 : 0) + (change.password ? 2 : 0);
    return code == 0 ? QString() : QString::number(code);
}

void mergeChange(Row& row, Change change)
{
    const Change now = changeOf(row);
    row.cells[AgentsList::ColChangeState] =
        changeCode({now.rights || change.rights, now.password || change.password});
}

} // namespace Rights
