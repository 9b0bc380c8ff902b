// The link label: its look at rest, under the mouse and while pressed, the setters, and the
// target a click hands to the desktop.

#include "URLLabel.h"
#include "RecordingDesktop.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

QColor Shown(const TURLLabel& label) {
    return label.palette().color(label.foregroundRole());
}

void Enter(TURLLabel& label) {
    const QPointF inside(2, 2);
    QEnterEvent event(inside, inside, label.mapToGlobal(inside));
    QApplication::sendEvent(&label, &event);
}

void Leave(TURLLabel& label) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&label, &event);
}

} // namespace

class URLLabelTest : public QObject {
    Q_OBJECT

    TRecordingDesktop FDesktop;
    std::unique_ptr<QWidget> FParent;
    TURLLabel* FLabel = nullptr;

  private slots:
    void init() {
        FDesktop = TRecordingDesktop();
        TDesktop::SetCurrent(&FDesktop);
        FParent = std::make_unique<QWidget>();
        FLabel = new TURLLabel(FParent.get());
        FLabel->setText("www.example.org");
        FLabel->setGeometry(10, 20, 120, 20);
    }

    void cleanup() {
        FParent.reset();
        TDesktop::SetCurrent(nullptr);
    }

    void freshLabelIsABlueUnderlinedLink() {
        QCOMPARE(Shown(*FLabel), Blue);
        QVERIFY(FLabel->font().underline());
        QCOMPARE(FLabel->cursor().shape(), Qt::PointingHandCursor);
    }

    void clickOpensPrefixAndCaption_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("target");
        QTest::newRow("web") << int(hmHTTP) << "www.example.org"
                             << "http://www.example.org";
        QTest::newRow("mail") << int(hmMAIL) << "me@example.org"
                              << "mailto:me@example.org";
        QTest::newRow("ftp") << int(hmFTP) << "ftp.example.org"
                             << "ftp://ftp.example.org";
        QTest::newRow("own prefix kept") << int(hmHTTP) << "http://example.org"
                                         << "http://http://example.org";
        QTest::newRow("blanks kept") << int(hmHTTP) << " a b "
                                     << "http:// a b ";
        const QString longCaption = "www.example.org/" + QString(100, 'x');
        QTest::newRow("longer than 79") << int(hmHTTP) << longCaption << "http://" + longCaption;
    }

    void clickOpensPrefixAndCaption() {
        QFETCH(int, type);
        QFETCH(QString, caption);
        QFETCH(QString, target);
        FLabel->SetLabelType(TLabelType(type));
        FLabel->setText(caption);
        QSignalSpy clicked(FLabel, &TURLLabel::clicked);
        QTest::mouseClick(FLabel, Qt::LeftButton);
        QCOMPARE(FDesktop.OpenedUrls, QStringList{target});
        QCOMPARE(clicked.count(), 1);
    }

    void customLabelOnlyReportsTheClick() {
        FLabel->SetLabelType(hmCUSTOM);
        QVERIFY(!FLabel->font().underline());
        QSignalSpy clicked(FLabel, &TURLLabel::clicked);
        QTest::mouseClick(FLabel, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(FDesktop.OpenedUrls.isEmpty());
    }

    void releaseOutsideIsNoClick() {
        QTest::mousePress(FLabel, Qt::LeftButton);
        QTest::mouseRelease(FLabel, Qt::LeftButton, {}, QPoint(-5, -5));
        QVERIFY(FDesktop.OpenedUrls.isEmpty());
    }

    void hover_data() {
        QTest::addColumn<bool>("effect98");
        QTest::addColumn<bool>("underlinedAtRest");
        QTest::addColumn<QColor>("colourInside");
        QTest::addColumn<bool>("underlinedInside");
        QTest::newRow("Effect98 on") << true << false << Red << true;
        QTest::newRow("Effect98 off") << false << true << Blue << true;
    }

    void hover() {
        QFETCH(bool, effect98);
        QFETCH(bool, underlinedAtRest);
        QFETCH(QColor, colourInside);
        QFETCH(bool, underlinedInside);
        FLabel->SetEffect98(effect98);
        QCOMPARE(FLabel->font().underline(), underlinedAtRest);
        Enter(*FLabel);
        QCOMPARE(Shown(*FLabel), colourInside);
        QCOMPARE(FLabel->font().underline(), underlinedInside);
        Leave(*FLabel);
        QCOMPARE(Shown(*FLabel), Blue);
        QCOMPARE(FLabel->font().underline(), underlinedAtRest);
    }

    void press_data() {
        QTest::addColumn<bool>("effect98");
        QTest::addColumn<bool>("allowDown");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QColor>("colourHeld");
        QTest::addColumn<int>("topHeld");
        QTest::addColumn<QColor>("colourReleased");
        QTest::newRow("left") << false << false << Qt::LeftButton << Red << 20 << Blue;
        QTest::newRow("right") << false << false << Qt::RightButton << Blue << 20 << Blue;
        QTest::newRow("left, AllowDown") << false << true << Qt::LeftButton << Red << 21 << Blue;
        QTest::newRow("right, AllowDown") << false << true << Qt::RightButton << Blue << 20 << Blue;
        // With the hover effect the colour stays until the mouse leaves.
        QTest::newRow("left, Effect98") << true << false << Qt::LeftButton << Red << 20 << Red;
    }

    void press() {
        QFETCH(bool, effect98);
        QFETCH(bool, allowDown);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QColor, colourHeld);
        QFETCH(int, topHeld);
        QFETCH(QColor, colourReleased);
        FLabel->SetEffect98(effect98);
        FLabel->SetAllowDown(allowDown);
        QTest::mousePress(FLabel, button);
        QCOMPARE(Shown(*FLabel), colourHeld);
        QCOMPARE(FLabel->y(), topHeld);
        QTest::mouseRelease(FLabel, button);
        QCOMPARE(Shown(*FLabel), colourReleased);
        QCOMPARE(FLabel->y(), 20);
    }

    void colours() {
        QFont font = FLabel->font();
        font.setPointSize(font.pointSize() + 2);
        FLabel->SetFont(font, 0x0000FF00);
        QCOMPARE(FLabel->URLColStd(), 0x0000FF00u);
        QCOMPARE(Shown(*FLabel), QColor(0, 255, 0));
        QCOMPARE(FLabel->font().pointSize(), font.pointSize());
        // The colour while pressed changes, the colour shown does not.
        FLabel->SetURLColPre(0x00FFFF00);
        QCOMPARE(Shown(*FLabel), QColor(0, 255, 0));
        QTest::mousePress(FLabel, Qt::LeftButton);
        QCOMPARE(Shown(*FLabel), QColor(0, 255, 255));
        QTest::mouseRelease(FLabel, Qt::LeftButton);
        FLabel->SetURLColStd(0x00808080);
        QCOMPARE(Shown(*FLabel), QColor(128, 128, 128));
    }

    // A setter given the value it holds leaves the look as it is, even where applying the
    // value again would change it.
    void settersIgnoreTheirOwnValue() {
        QTest::mousePress(FLabel, Qt::LeftButton);
        FLabel->SetURLColStd(0x00FF0000);
        QCOMPARE(Shown(*FLabel), Red);
        QTest::mouseRelease(FLabel, Qt::LeftButton, {}, QPoint(-5, -5));

        FLabel->SetEffect98(true);
        Enter(*FLabel);
        QVERIFY(FLabel->font().underline());
        FLabel->SetEffect98(true);
        QVERIFY(FLabel->font().underline());
        FLabel->SetLabelType(hmHTTP);
        QVERIFY(FLabel->font().underline());
    }
};

QTEST_MAIN(URLLabelTest)
#include "URLLabelTest.moc"
