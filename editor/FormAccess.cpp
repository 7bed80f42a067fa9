#include "FormAccess.h"

#include <QLabel>

namespace FormAccess {

void nameBuddies(QWidget* window)
{
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (!label->buddy())
            continue;
        const QString text = label->text();
        QString name;
        name.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'&' && i + 1 < text.size())
                ++i; // "&x" marks a mnemonic, "&&" stands for "&"
            name += text[i];
        }
        label->buddy()->setAccessibleName(name.trimmed());
    }
}

} // namespace FormAccess
