#include "frmHistory.h"

#include "FormAccess.h"
#include "FormTranslator.h"
#include "HistoryTexts.h"
#include "SettingsMessages.h"
#include "UiServices.h"
#include "Variables.h"
#include "mCustomIcon.h"
#include "ui_frmHistory.h"

#include <QDateTime>
#include <QHeaderView>

namespace {

constexpr int HelpContext = 140;
constexpr int HeaderTexts[] = {1407, 1408, 1409, 1410};

qint64 msOf(const QDateTimeEdit* edit)
{
    return edit->dateTime().toMSecsSinceEpoch();
}

} // namespace

frmHistory::frmHistory(const AgentsList::Rows& agents, int agent, QWidget* owner,
                       HistoryModel::Fetch fetch)
    : QDialog(owner), m_ui(std::make_unique<Ui::frmHistory>()), m_agents(agents)
{
    m_ui->setupUi(this);
    m_model = new HistoryModel(std::move(fetch), this);
    m_ui->lvHistory->setModel(m_model);
    connect(m_ui->cmdApply, &QPushButton::clicked, this, &frmHistory::cmdApply_Click);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cmdHelp, &QPushButton::clicked, this, &frmHistory::cmdHelp_Click);
    connect(m_ui->chkSince, &QCheckBox::toggled, this, &frmHistory::chkSince_Click);
    connect(m_ui->chkUntil, &QCheckBox::toggled, this, &frmHistory::chkUntil_Click);
    connect(m_model, &HistoryModel::fetched, this, &frmHistory::showState);
    if (agent > 0)
        m_ui->txtAgent->setText(QString::number(agent));
    Form_Load(owner);
    cmdApply_Click();
}

frmHistory::~frmHistory()
{
    // Hiding the list as the window goes would have it ask for more rows.
    m_ui->lvHistory->setModel(nullptr);
}

void frmHistory::Form_Load(QWidget* owner)
{
    mCustomIcon::CustomizationSetFrmIcon(this, owner ? owner->window() : nullptr);
    FormTranslator::TranslateForm(this);
    FormAccess::nameBuddies(this);
    HelpContextID = HelpContext;
    QStringList headers;
    for (const int n : HeaderTexts)
        headers << SettingsMessages::text(n);
    m_model->setHeaders(headers);
    QHash<qint32, QString> names;
    for (const AgentsList::Row& row : m_agents)
        names.insert(row.cells[AgentsList::ColNumber].toInt(), row.cells[AgentsList::ColName]);
    m_model->setNames(names);
    m_ui->cboField->addItem(SettingsMessages::text(HistoryTexts::Text::AllFields));
    for (const QString& key : HistoryTexts::fieldKeys())
        m_ui->cboField->addItem(HistoryTexts::fieldLabel(key), key);
    const QDateTime now = QDateTime::currentDateTime();
    m_ui->dtpSince->setDateTime(now.addDays(-7));
    m_ui->dtpUntil->setDateTime(now);
    // The time fields are named by the boxes that turn them on.
    m_ui->dtpSince->setAccessibleName(m_ui->chkSince->text().remove(u'&'));
    m_ui->dtpUntil->setAccessibleName(m_ui->chkUntil->text().remove(u'&'));
    m_ui->lvHistory->setAccessibleName(windowTitle());
    m_ui->lvHistory->header()->setStretchLastSection(true);
}

// Once a query's first lines are there, the columns take the width they
// need, but none more than a third of the list.
void frmHistory::fitColumns()
{
    if (m_fitted || m_model->rowCount() == 0 || !isVisible())
        return;
    m_fitted = true;
    QTreeView* list = m_ui->lvHistory;
    for (int column = 0; column < HistoryModel::Change; ++column) {
        list->resizeColumnToContents(column);
        list->setColumnWidth(column,
                             std::min(list->columnWidth(column), list->viewport()->width() / 3));
    }
}

std::optional<qint32> frmHistory::recordOfAgentField() const
{
    const QString text = m_ui->txtAgent->text().trimmed();
    if (text.isEmpty())
        return HistoryProtocol::AllRecords;
    bool number = false;
    const int agent = text.toInt(&number, 10);
    if (number)
        return agent >= 1 ? std::optional<qint32>(agent - 1) : std::nullopt;
    // A name: the one named so, else the only one whose name holds the text.
    std::optional<qint32> partial;
    int partials = 0;
    for (const AgentsList::Row& row : m_agents) {
        const QString& name = row.cells[AgentsList::ColName];
        const qint32 record = row.cells[AgentsList::ColNumber].toInt() - 1;
        if (name.compare(text, Qt::CaseInsensitive) == 0)
            return record;
        if (name.contains(text, Qt::CaseInsensitive) && partials++ == 0)
            partial = record;
    }
    return partials == 1 ? partial : std::nullopt;
}

void frmHistory::cmdApply_Click()
{
    if (m_model->fetching())
        return;
    const std::optional<qint32> record = recordOfAgentField();
    if (!record) {
        m_model->clear();
        m_ui->lblStatus->setText(SettingsMessages::text(HistoryTexts::Text::NoSuchAgent)
                                     .replace(QStringLiteral("|1"), m_ui->txtAgent->text()));
        return;
    }
    HistoryProtocol::Query query;
    query.record = *record;
    query.field = m_ui->cboField->currentData().toString().toLatin1();
    query.since = m_ui->chkSince->isChecked() ? msOf(m_ui->dtpSince) : 0;
    query.until = m_ui->chkUntil->isChecked() ? msOf(m_ui->dtpUntil) : 0;
    m_fitted = false;
    m_model->restart(query);
}

void frmHistory::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitColumns();
}

void frmHistory::showState()
{
    fitColumns();
    switch (m_model->state()) {
    case HistoryModel::State::Rows:
        m_ui->lblStatus->clear();
        break;
    case HistoryModel::State::Empty:
        m_ui->lblStatus->setText(SettingsMessages::text(HistoryTexts::Text::NoRows));
        break;
    case HistoryModel::State::Failed:
        m_ui->lblStatus->setText(SettingsMessages::text(HistoryTexts::Text::Unreadable));
        break;
    }
}

void frmHistory::chkSince_Click()
{
    m_ui->dtpSince->setEnabled(m_ui->chkSince->isChecked());
}

void frmHistory::chkUntil_Click()
{
    m_ui->dtpUntil->setEnabled(m_ui->chkUntil->isChecked());
}

void frmHistory::cmdHelp_Click()
{
    UiServices::showHelp(HelpFile, HelpContextID);
}
