// Speed of the language lookup: 10,000 message lookups and the translation of
// a window of 60 controls, each against a plain hash-map lookup of the same
// keys measured in the same run. The lookups must give exactly what the
// scanning lookup gives.

#include "Folders.h"
#include "FormTranslator.h"
#include "LangLookup.h"
#include "Languages.h"
#include "Variables.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <functional>
#include <limits>

namespace {

constexpr int Lookups = 10000;
constexpr int Rounds = 30;

QList<int> readNumbers(const QString& path)
{
    QFile file(path);
    QList<int> numbers;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return numbers;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const QStringList words = line.section(u'#', 0, 0).split(u' ', Qt::SkipEmptyParts);
        for (const QString& word : words)
            numbers.append(word.toInt());
    }
    return numbers;
}

// The best of several rounds, in microseconds: the machine is shared.
double bestMicros(const std::function<void()>& work)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = qMin(best, timer.nsecsElapsed());
    }
    return double(best) / 1000.0;
}

// 60 controls of the usual kinds, each naming one of the numbers.
QWidget* makeWindow(const QList<int>& numbers)
{
    auto* window = new QWidget;
    window->setProperty("Tag", QString::number(numbers[0]));
    for (int i = 0; i < 60; ++i) {
        QWidget* control = nullptr;
        const QString design = QStringLiteral("*design");
        switch (i % 6) {
        case 0:
        case 1:
            control = new QLabel(design, window);
            break;
        case 2:
            control = new QPushButton(design, window);
            break;
        case 3:
            control = new QCheckBox(design, window);
            break;
        case 4:
            control = new QGroupBox(design, window);
            new QRadioButton(design, control); // untagged, as frames hold
            break;
        default:
            control = new QLineEdit(window);
            break;
        }
        control->setProperty("Tag", QString::number(numbers[(i + 1) % numbers.size()]));
    }
    return window;
}

// The same texts put in by hand from a hash map.
void translateFromHash(QWidget* window, const QHash<QString, QString>& texts)
{
    auto text = [&](const QObject* object) {
        return texts.value(object->property("Tag").toString(), QStringLiteral("*"));
    };
    window->setWindowTitle(text(window));
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (!child->property("Tag").isValid())
            continue;
        if (auto* label = qobject_cast<QLabel*>(child))
            label->setText(text(child));
        else if (auto* button = qobject_cast<QAbstractButton*>(child))
            button->setText(text(child));
        else if (auto* box = qobject_cast<QGroupBox*>(child))
            box->setTitle(text(child));
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QList<int> numbers = readNumbers(QStringLiteral(ZOR_TEXT_NUMBERS_FILE));
    Parametres.Langue = 0;
    LanguageBase = 0;
    Languages::LoadLanguageFile();
    if (numbers.isEmpty() || LanguageText.isEmpty()) {
        std::fprintf(stderr, "bench_lang: no language file in %s\n",
                     qPrintable(Folders::programFolder()));
        return 1;
    }

    // The baseline map, filled by the scanning lookup, and a check that the
    // indexed lookup gives the same for every number.
    QHash<QString, QString> texts;
    for (int number : numbers) {
        const QString key = QString::number(number);
        texts.insert(key, LangLookup::scan(QStringLiteral("ZORCFG"), key, QStringLiteral("*"),
                                           LanguageText, LanguageTextUpper));
        if (Languages::GetMessageText(static_cast<qint16>(LanguageBase + number)) != texts[key]) {
            std::fprintf(stderr, "bench_lang: lookup of %d differs from the scan\n", number);
            return 1;
        }
    }

    qsizetype sink = 0;
    const double indexed = bestMicros([&] {
        for (int i = 0; i < Lookups; ++i) {
            const int n = numbers[i % numbers.size()];
            sink += Languages::GetMessageText(static_cast<qint16>(LanguageBase + n)).size();
        }
    });
    const double hashed = bestMicros([&] {
        for (int i = 0; i < Lookups; ++i) {
            const int n = numbers[i % numbers.size()];
            sink +=
                texts.value(QString::number((LanguageBase + n) % 2000), QStringLiteral("*")).size();
        }
    });
    double scanned = 0;
    {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < Lookups; ++i) {
            const QString key = QString::number(numbers[i % numbers.size()]);
            sink += LangLookup::scan(QStringLiteral("ZORCFG"), key, QStringLiteral("*"),
                                     LanguageText, LanguageTextUpper)
                        .size();
        }
        scanned = double(timer.nsecsElapsed()) / 1000.0;
    }

    QWidget* window = makeWindow(numbers);
    const double formIndexed = bestMicros([&] { FormTranslator::TranslateForm(window); });
    const double formHashed = bestMicros([&] { translateFromHash(window, texts); });
    delete window;

    std::printf("language file: %lld characters, %lld text numbers\n",
                static_cast<long long>(LanguageText.size()),
                static_cast<long long>(numbers.size()));
    std::printf("%d message lookups: indexed %.0f us, hash map %.0f us, plain scan %.0f us\n",
                Lookups, indexed, hashed, scanned);
    std::printf("window of 60 controls: TranslateForm %.0f us, from a hash map %.0f us "
                "(ratio %.2f)\n",
                formIndexed, formHashed, formIndexed / formHashed);
    std::printf("(checksum %lld)\n", static_cast<long long>(sink));
    // The index answers with two hash look-ups and a copy of the value; a
    // single hash look-up is the floor, three times it is the target.
    std::printf("RESULT lang_lookup ratio=%.2f target<=3\n", indexed / hashed);
    return 0;
}
