#include "FormAccess.h"

#include <QLabel>
#include <QRegularExpression>

namespace FormAccess {

void nameBuddies(QWidget* window)
{
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (!label->buddy())
            continue;
        QString name = label->text();
        name.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
        label->buddy()->setAccessibleName(name.trimmed());
    }
}

} // namespace FormAccess
