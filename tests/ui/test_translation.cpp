// The dialogs' standard buttons speak the user's language through Qt's own translations.
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "ui/translation.h"

using namespace dotreel;

class TestTranslation : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }

    void standardButtons_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("mustLoad");
        QTest::addColumn<QStringList>("captions");  // Retry, Cancel, OK, Yes, No
        QTest::newRow("Japanese") << "ja_JP" << true
                                  << QStringList{"再試行", "キャンセル", "OK", "はい", "いいえ"};
        QTest::newRow("English") << "en_US" << false
                                 << QStringList{"Retry", "Cancel", "OK", "Yes", "No"};
    }
    void standardButtons() {
        QFETCH(QString, locale);
        QFETCH(QStringList, captions);
        QFETCH(bool, mustLoad);
        const bool loaded = installQtTranslation(*QCoreApplication::instance(), QLocale(locale));
        QVERIFY(loaded || !mustLoad);
        QMessageBox box(QMessageBox::Warning, "subSetup", "text",
                        QMessageBox::Retry | QMessageBox::Cancel | QMessageBox::Ok |
                            QMessageBox::Yes | QMessageBox::No);
        const QMessageBox::StandardButton order[] = {QMessageBox::Retry, QMessageBox::Cancel,
                                                     QMessageBox::Ok, QMessageBox::Yes,
                                                     QMessageBox::No};
        // "はい(&Y)": the mnemonic, in whichever form the language writes it, is not the caption.
        static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)|&"));
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(box.button(order[i])->text().remove(mnemonic), captions[i]);
        QCOMPARE(box.windowTitle(), QString("subSetup"));  // titles are never translated
    }
};

QTEST_MAIN(TestTranslation)
#include "test_translation.moc"
