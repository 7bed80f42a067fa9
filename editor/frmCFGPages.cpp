// The General and Couleurs pages of the configuration window.
#include "frmCFG.h"

#include "ColourChooser.h"
#include "Conversions.h"
#include "Cp1252.h"
#include "FormAccess.h"
#include "FormTranslator.h"
#include "LanguageChange.h"
#include "RemoteStore.h"
#include "SettingsMessages.h"
#include "SupervisorRules.h"
#include "UiServices.h"
#include "Variables.h"
#include "ui_frmCFG.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// The sixteen colour boxes and their settings, in the order the page fills
// them and OK reads them back.
struct ColourBox
{
    const char* box;
    qint32 SettingsRecord::*field;
};

constexpr std::array<ColourBox, 16> ColourBoxes = {{
    {"picCptAbsence", &SettingsRecord::CouleurCptAbsence},
    {"picCptRetrait", &SettingsRecord::CouleurCptRetrait},
    {"picCptService", &SettingsRecord::CouleurCptService},
    {"picCptTComp", &SettingsRecord::CouleurCptTComp},
    {"picEtatDissu", &SettingsRecord::CouleurEtatDissu},
    {"picEtatFerme", &SettingsRecord::CouleurEtatFerme},
    {"picEtatOuvert", &SettingsRecord::CouleurEtatOuvert},
    {"picEtatSatu", &SettingsRecord::CouleurEtatSatu},
    {"picGrFile", &SettingsRecord::CouleurGrFile},
    {"picGrInfS1", &SettingsRecord::CouleurGrInfS1},
    {"picGrS2", &SettingsRecord::CouleurGrS2},
    {"picGrServis", &SettingsRecord::CouleurGrServis},
    {"picGrSupS1", &SettingsRecord::CouleurGrSupS1},
    {"picTauxBas", &SettingsRecord::CouleurTxBas},
    {"picTauxHaut", &SettingsRecord::CouleurTxHaut},
    {"picTauxMilieu", &SettingsRecord::CouleurTxMilieu},
}};

const char* const ColourProperty = "Couleur";

// The number at the start of the field's trimmed text, 0 when there is none.
double fieldValue(const QLineEdit* field)
{
    return Conversions::Val(Cp1252::fromUnicode(field->text().trimmed()));
}

// A field value as a 32-bit whole number, halves to even; a value too large
// for it is held at the nearest end.
qint32 rounded(double value)
{
    try {
        return Conversions::toInt32(value);
    } catch (const Conversions::Failure&) {
        return value < 0 ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint32>::max();
    }
}

QString decimalText(double value)
{
    if (std::trunc(value) == value && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

// The field shows the decimal text of its number; out of the range, the reset
// text and a beep.
// The check of a numeric field that loses the focus: the text becomes its
// number, and a number out of the option's range its reset value, with a beep.
void checkField(QLineEdit* field, QStringView key)
{
    const double value = fieldValue(field);
    field->setText(decimalText(value));
    if (const std::optional<qint32> reset = SupervisorRules::FieldCorrection(key, value)) {
        field->setText(QString::number(*reset));
        UiServices::beep();
    }
}

Qt::CheckState checkState(qint32 value)
{
    return value == 0 ? Qt::Unchecked : value == 2 ? Qt::PartiallyChecked : Qt::Checked;
}

// A check box into its field: 0 when clear, 1 otherwise; true when it changed.
bool copyCheck(const QCheckBox* box, qint32& field)
{
    const int state = box->checkState() == Qt::Unchecked ? 0
                      : box->checkState() == Qt::Checked ? 1
                                                         : 2;
    if (state == field)
        return false;
    field = state == 0 ? 0 : 1;
    return true;
}

} // namespace

qint32 frmCFG::boxColour(const QAbstractButton* box)
{
    return box->property(ColourProperty).toInt();
}

void frmCFG::setBoxColour(QAbstractButton* box, qint32 colour)
{
    box->setProperty(ColourProperty, colour);
    // The swatch fills the box but for a small margin, outlined in dark grey.
    // The pixels are set directly: a painter costs more than the swatch.
    const QSize size = box->minimumSize() - QSize(10, 8);
    QImage swatch(size, QImage::Format_RGB32);
    swatch.fill(QColor(0x40, 0x40, 0x40));
    const QRgb inside = qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    for (int y = 1; size.width() > 2 && y < size.height() - 1; ++y) {
        auto* line = reinterpret_cast<QRgb*>(swatch.scanLine(y));
        std::fill(line + 1, line + size.width() - 1, inside);
    }
    box->setIconSize(size);
    box->setIcon(QIcon(QPixmap::fromImage(swatch)));
}

void frmCFG::AfficherParametres()
{
    const int position = m_ui->cboLangue_1->findText(QString::number(Parametres.Langue));
    m_ui->cboLangue_0->setCurrentIndex(position);
    switch (Parametres.ModeLie) {
    case 1:
        m_ui->optModeLie->setChecked(true);
        break;
    case 2:
        m_ui->optModeSpec->setChecked(true);
        break;
    default:
        m_ui->optModeStd->setChecked(true);
        break;
    }
    m_ui->txtNbJour->setText(QString::number(Parametres.NbJourStockJournal));
    m_ui->Etatinterdit->setCheckState(checkState(Parametres.Etatinterdit));
    m_ui->Text1->setText(Parametres.ModeLieApp);
    m_ui->txtT1->setText(QString::number(Parametres.TauxActiviteT1));
    m_ui->txtT2->setText(QString::number(Parametres.TauxActiviteT2));
    m_ui->CmtAuto->setCheckState(checkState(Parametres.CmtAuto));
    for (const ColourBox& entry : ColourBoxes) {
        if (auto* box = findChild<QPushButton*>(QLatin1String(entry.box)))
            setBoxColour(box, Parametres.*entry.field);
    }
}

void frmCFG::optModeStd_Click()
{
    m_ui->Text1->setEnabled(false);
}

void frmCFG::optModeLie_Click()
{
    m_ui->Text1->setEnabled(false);
}

void frmCFG::optModeSpec_Click()
{
    m_ui->Text1->setEnabled(true);
}

void frmCFG::txtNbJour_LostFocus()
{
    checkField(m_ui->txtNbJour, u"NbJourStockJournal");
}

void frmCFG::txtT1_LostFocus()
{
    checkField(m_ui->txtT1, u"TauxActiviteT1");
}

void frmCFG::txtT2_LostFocus()
{
    checkField(m_ui->txtT2, u"TauxActiviteT2");
}

void frmCFG::replaceThresholdPlaceholders()
{
    const QString t1 = QString::number(Parametres.TauxActiviteT1);
    const QString t2 = QString::number(Parametres.TauxActiviteT2);
    m_ui->lblTauxBas->setText(m_ui->lblTauxBas->text().replace(QStringLiteral("|1"), t1));
    m_ui->lblTauxMilieu->setText(m_ui->lblTauxMilieu->text()
                                     .replace(QStringLiteral("|1"), t1)
                                     .replace(QStringLiteral("|2"), t2));
    m_ui->lblTauxHaut->setText(m_ui->lblTauxHaut->text().replace(QStringLiteral("|1"), t2));
}

void frmCFG::nameControlsForReaders()
{
    FormAccess::nameBuddies(this);
}

// The language chosen in the list is applied and stored at once.
void frmCFG::cboLangue_LostFocus()
{
    const int position = m_ui->cboLangue_0->currentIndex();
    if (position < 0 || position >= m_ui->cboLangue_1->count())
        return;
    const double number =
        Conversions::Val(Cp1252::fromUnicode(m_ui->cboLangue_1->itemText(position)));
    const qint16 n = Conversions::toInt16(number);
    if (n == Parametres.Langue)
        return;
    UiServices::setBusy(true);
    LanguageChange::ApplyLanguage(n);
    // The application title (which the desktop adds to window titles) follows.
    QGuiApplication::setApplicationDisplayName(SettingsMessages::text(121));
    FormTranslator::TranslateForm(this);
    TraduireColonnesAgents();
    replaceThresholdPlaceholders();
    nameControlsForReaders();
    RemoteStore::StoreSupervisorSettings();
    UiServices::setBusy(false);
}

void frmCFG::ChoisirCouleur(QAbstractButton* box)
{
    if (const std::optional<qint32> chosen = ColourChooser::choose(boxColour(box), this))
        setBoxColour(box, *chosen);
}

// OK steps 4 to 6. False when T1 is not below T2: the message is shown and
// nothing is copied.
bool frmCFG::copyThresholds()
{
    const double t1 = fieldValue(m_ui->txtT1);
    const double t2 = fieldValue(m_ui->txtT2);
    if (!SupervisorRules::ThresholdsOrdered(rounded(t1), rounded(t2))) {
        UiServices::setBusy(false);
        UiServices::messageBox(SettingsMessages::text(260), SettingsMessages::text(224),
                               UiServices::Icon::Exclamation);
        return false;
    }
    const auto copyNumber = [this](double value, qint32& field) {
        if (value != field) {
            m_changed = true;
            field = rounded(value);
        }
    };
    copyNumber(t1, Parametres.TauxActiviteT1);
    copyNumber(t2, Parametres.TauxActiviteT2);
    copyNumber(fieldValue(m_ui->txtNbJour), Parametres.NbJourStockJournal);
    return true;
}

// OK steps 7 to 9.
void frmCFG::copyOptions()
{
    const auto copyMode = [this](const QRadioButton* option, qint32 mode) {
        if (option->isChecked() && Parametres.ModeLie != mode) {
            m_changed = true;
            Parametres.ModeLie = mode;
        }
    };
    copyMode(m_ui->optModeStd, 0);
    copyMode(m_ui->optModeLie, 1);
    copyMode(m_ui->optModeSpec, 2);
    if (m_ui->Text1->text() != Parametres.ModeLieApp) {
        m_changed = true;
        Parametres.ModeLieApp = m_ui->Text1->text();
    }
    m_changed = copyCheck(m_ui->Etatinterdit, Parametres.Etatinterdit) || m_changed;
    m_changed = copyCheck(m_ui->CmtAuto, Parametres.CmtAuto) || m_changed;
}

// OK step 10.
void frmCFG::copyColours()
{
    for (const ColourBox& entry : ColourBoxes) {
        const auto* box = findChild<QPushButton*>(QLatin1String(entry.box));
        if (box && boxColour(box) != Parametres.*entry.field) {
            m_changed = true;
            Parametres.*entry.field = boxColour(box);
        }
    }
}
