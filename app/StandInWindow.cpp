#include "StandInWindow.h"

#include "FormTranslator.h"
#include "SettingsMessages.h"
#include "frm_Apropos.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

StandInWindow::StandInWindow()
{
    setObjectName(QStringLiteral("frmCFG"));
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("Tag", QStringLiteral("121"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(SettingsMessages::text(1342), this);
    note->setObjectName(QStringLiteral("lblStandIn"));
    note->setWordWrap(true);
    note->setMinimumWidth(360);
    layout->addWidget(note);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    buttons->addWidget(addButton("ComVersion", 319));
    buttons->addStretch();
    buttons->addWidget(addButton("cmdOK", 101));
    buttons->addWidget(addButton("cmdCancel", 102));
    connect(findChild<QPushButton*>(QStringLiteral("ComVersion")), &QPushButton::clicked, this,
            &StandInWindow::ComVersion_Click);
    for (const char* name : {"cmdOK", "cmdCancel"})
        connect(findChild<QPushButton*>(QLatin1StringView(name)), &QPushButton::clicked, this,
                &QWidget::close);
    FormTranslator::TranslateForm(this);
}

QPushButton* StandInWindow::addButton(const char* name, int tag)
{
    auto* button = new QPushButton(this);
    button->setObjectName(QLatin1StringView(name));
    button->setProperty("Tag", QString::number(tag));
    return button;
}

void StandInWindow::ComVersion_Click()
{
    frm_Apropos::ShowModal(this);
}
