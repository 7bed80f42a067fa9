#include "frmCFG.h"

#include "AgentsModel.h"
#include "Conversions.h"
#include "FormAccess.h"
#include "FormTranslator.h"
#include "HistoryTransfer.h"
#include "Languages.h"
#include "RemoteStore.h"
#include "SettingsMessages.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmHistory.h"
#include "mCustomIcon.h"
#include "ui_frmCFG.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

namespace {

constexpr int HelpAfterLoad = 120;
constexpr int HelpOfTab[] = {121, 122, 123};
constexpr int TabCount = 3;

// Runs one step of the load; a step that fails is skipped without a word.
// Only the end of the program (which leaves by an exception in tests) goes on
// up.
template <typename Step> void skipOnFailure(Step step)
{
    try {
        step();
    } catch (const Conversions::Failure&) {
    } catch (const std::exception&) {
    }
}

} // namespace

frmCFG::SessionWindows& frmCFG::sessionWindows()
{
    static SessionWindows windows;
    return windows;
}

frmCFG::frmCFG(QWidget* parent) : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmCFG>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_agents = new AgentsModel(this);
    m_ui->lvListView->setModel(m_agents);
    connectHandlers();
    Form_Load();
}

frmCFG::~frmCFG() = default;

AgentsList::Rows& frmCFG::agentRows()
{
    return m_agents->rows();
}

void frmCFG::connectHandlers()
{
    connect(m_ui->tbsOptions, &QTabWidget::currentChanged, this, &frmCFG::tbsOptions_Click);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmCFG::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmCFG::cmdCancel_Click);
    connect(m_ui->cmdAide, &QPushButton::clicked, this, &frmCFG::cmdAide_Click);
    connect(m_ui->ComVersion, &QPushButton::clicked, this, &frmCFG::ComVersion_Click);
    connect(m_ui->History, &QPushButton::clicked, this, &frmCFG::History_Click);
    connect(m_ui->cmdProprietes, &QPushButton::clicked, this, &frmCFG::cmdProprietes_Click);
    connect(m_ui->lvListView, &QAbstractItemView::doubleClicked, this,
            &frmCFG::lvListView_DblClick);
    connect(m_ui->optModeStd, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optModeStd_Click();
    });
    connect(m_ui->optModeLie, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optModeLie_Click();
    });
    connect(m_ui->optModeSpec, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optModeSpec_Click();
    });
    const QList<QPushButton*> boxes = m_ui->picOptions_1->findChildren<QPushButton*>();
    for (QPushButton* box : boxes)
        connect(box, &QPushButton::clicked, this, [this, box] { ChoisirCouleur(box); });
    for (QWidget* field :
         {static_cast<QWidget*>(m_ui->txtNbJour), static_cast<QWidget*>(m_ui->txtT1),
          static_cast<QWidget*>(m_ui->txtT2), static_cast<QWidget*>(m_ui->cboLangue_0)})
        field->installEventFilter(this);
    m_ui->tbsOptions->installEventFilter(this);
    installEventFilter(this);
}

void frmCFG::loadIcons()
{
    setWindowIcon(mCustomIcon::designedIcon());
    QWidget* holder = mCustomIcon::frmIcon32();
    holder->setWindowIcon(windowIcon());
    const QString file = QStringLiteral("Zorcfg16.ico");
    mCustomIcon::CustomizationReadIcon(this, file, QString(), mCustomIcon::SmallIcon);
    mCustomIcon::CustomizationReadIcon(holder, file, QString(), mCustomIcon::LargeIcon);
    mCustomIcon::CustomizationSetOwnerIcon(holder);
    mCustomIcon::CustomizationAddLargeIcon(this, holder);
    // The pictures of the Couleurs and Agents pages show the program's icon.
    for (QLabel* picture : {m_ui->Picture2, m_ui->Picture3}) {
        picture->setPixmap(holder->windowIcon().pixmap(32));
        picture->setFixedSize(32, 32);
    }
}

void frmCFG::Form_Load()
{
    loadIcons();
    m_ui->tbsOptions->setCurrentIndex(0);
    tbsOptions_Click();
    skipOnFailure([this] { fillLanguageLists(); });
    skipOnFailure([this] { AfficherParametres(); });
    skipOnFailure([this] { InitListeAgents(); });
    skipOnFailure([this] { FormTranslator::TranslateForm(this); });
    skipOnFailure([this] { replaceThresholdPlaceholders(); });
    nameControlsForReaders();
    // Only a server that answers the history request keeps one.
    m_ui->History->setVisible(HistoryTransfer::Probe());
    HelpContextID = HelpAfterLoad;
}

void frmCFG::fillLanguageLists()
{
    m_ui->cboLangue_0->clear();
    m_ui->cboLangue_1->clear();
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    for (const Languages::LanguageEntry& language : languages) {
        m_ui->cboLangue_0->addItem(language.name);
        m_ui->cboLangue_1->addItem(QString::number(language.number));
    }
}

void frmCFG::tbsOptions_Click()
{
    const int n = m_ui->tbsOptions->currentIndex() + 1;
    for (int i = 0; i < m_ui->tbsOptions->count(); ++i)
        m_ui->tbsOptions->widget(i)->setEnabled(i == n - 1);
    HelpContextID = n >= 1 && n <= TabCount ? HelpOfTab[n - 1] : HelpAfterLoad;
}

void frmCFG::selectNextTab()
{
    QTabWidget* tabs = m_ui->tbsOptions;
    tabs->setCurrentIndex((tabs->currentIndex() + 1) % tabs->count());
}

bool frmCFG::eventFilter(QObject* watched, QEvent* event)
{
    // The language list would take Ctrl+Tab as a letter to search for: the
    // window's keys are seen before it sees them.
    if (event->type() == QEvent::KeyPress &&
        (watched == this || watched == m_ui->tbsOptions || watched == m_ui->cboLangue_0)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier) {
            selectNextTab();
            return true;
        }
        if (key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Tab) {
            if (modifiers & Qt::ControlModifier)
                return true; // Ctrl+Shift+Tab does nothing
        }
        if (key->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
            cmdCancel_Click();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            return false; // the focus stays in the field
        if (watched == m_ui->txtNbJour)
            txtNbJour_LostFocus();
        else if (watched == m_ui->txtT1)
            txtT1_LostFocus();
        else if (watched == m_ui->txtT2)
            txtT2_LostFocus();
        else if (watched == m_ui->cboLangue_0)
            cboLangue_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void frmCFG::cmdAide_Click()
{
    UiServices::showHelp(HelpFile, HelpContextID);
}

void frmCFG::ComVersion_Click()
{
    if (sessionWindows().showAbout) {
        sessionWindows().showAbout(this);
        return;
    }
    UiServices::messageBox(SettingsMessages::text(1275) + QStringLiteral("\r\n") +
                               SettingsMessages::text(318),
                           SettingsMessages::text(121), UiServices::Icon::Information);
}

void frmCFG::History_Click()
{
    if (UiServices::isBusy())
        return;
    frmHistory history(m_agents->rows(), 0, this);
    history.exec();
}

void frmCFG::cmdProprietes_Click()
{
    AfficherDroitsAgent();
}

void frmCFG::lvListView_DblClick()
{
    AfficherDroitsAgent();
}

void frmCFG::cmdOK_Click()
{
    if (UiServices::isBusy())
        return;
    UiServices::setBusy(true);
    m_changed = false;
    if (Parametres.NouveauMotDePasse != Parametres.MotDePasse) {
        m_changed = true;
        Parametres.MotDePasse = Parametres.NouveauMotDePasse;
    }
    if (!copyThresholds())
        return;
    copyOptions();
    copyColours();
    storeAndClose();
}

void frmCFG::storeAndClose()
{
    const bool rightsWritten = RemoteStore::StoreAgentRights(m_agents->rows());
    if (rightsWritten || m_changed) {
        RemoteStore::StoreSupervisorSettings();
        QString text = SettingsMessages::text(313);
        text.replace(QStringLiteral("|1"), QStringLiteral("\r\n"));
        UiServices::messageBox(text, SettingsMessages::text(121), UiServices::Icon::Information);
    }
    // Let the events the store left behind finish before the window goes;
    // the close box among them may close it first.
    const QPointer<frmCFG> self(this);
    for (int pass = 0; pass < 101; ++pass)
        QCoreApplication::processEvents();
    if (self)
        close();
    UiServices::setBusy(false);
}

void frmCFG::cmdCancel_Click()
{
    if (UiServices::isBusy())
        return;
    if (sessionWindows().unloadSplash)
        sessionWindows().unloadSplash();
    close();
}

void frmCFG::closeEvent(QCloseEvent* event)
{
    mCustomIcon::unloadIcon32();
    if (sessionWindows().unloadSplash)
        sessionWindows().unloadSplash();
    event->accept();
}
