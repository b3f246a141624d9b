// The main window as a user meets it: its layout, and batches driven through the real prompts.
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <vector>

#include "offscreen_messages.h"
#include "ui/main_window.h"
#include "ui/qt_io.h"

using quorvel::MainWindow;
using quorvel::TextBox;

namespace {

struct Expected {
    const char* name;
    char kind;                     // 'L'abel, 'T'ext box, 'B'utton
    int left, top, width, height;  // twips
    const char* caption;
    const char* font;
    int tab;
};

// clang-format off
const Expected kLayout[] = {
    {"Label1", 'L', 5880, 4440, 2655, 255, "Quorvel 计 算", "S14", 0},
    {"Label5", 'L', 3360, 5040, 1215, 255, "计算类型提示", "M8", 22},
    {"Text15", 'T', 4560, 5040, 1935, 285, "", "M8", 18},
    {"Label23", 'L', 6720, 5040, 1215, 255, "计算点数说明", "S9", 43},
    {"Text18", 'T', 7920, 5040, 2655, 285, "", "M8", 42},
    {"Label2", 'L', 3480, 5640, 1335, 375, "   大地正算           ( L,B------X,Y )", "M8", 19},
    {"Label3", 'L', 6240, 5640, 1215, 375, "   大地反算       ( X,Y------L,B )", "M8", 20},
    {"Label4", 'L', 9120, 5640, 1695, 375, "      座标换带               ( X1,Y1-----X2,Y2 )", "M8", 21},
    {"Label27", 'L', 3480, 6120, 495, 255, " 点名", "S9", 51},
    {"Text19", 'T', 3960, 6120, 1215, 285, "", "S9", 46},
    {"Label7", 'L', 2760, 6600, 975, 255, "经度 L", "M8", 24},
    {"Text1", 'T', 3360, 6600, 2055, 285, "", "M8", 1},
    {"Label8", 'L', 2760, 7080, 975, 255, "纬度 B", "M8", 25},
    {"Text2", 'T', 3360, 7080, 2055, 285, "", "M8", 2},
    {"Label11", 'L', 2640, 7440, 975, 375, "中央子午线    经度 Lo", "M8", 28},
    {"Text3", 'T', 3720, 7560, 1695, 285, "", "M8", 3},
    {"Label24", 'L', 3480, 8280, 1095, 255, " 正 算 座 标 ", "M8", 45},
    {"Label9", 'L', 2640, 8760, 975, 255, " 纵座标 XP", "M8", 26},
    {"Text9", 'T', 3600, 8760, 1815, 285, "", "M8", 9},
    {"Label10", 'L', 2640, 9240, 975, 255, " 横座标 YP", "M8", 27},
    {"Text10", 'T', 3600, 9240, 1815, 285, "", "M8", 10},
    {"Label26", 'L', 6360, 6120, 495, 255, " 点名", "S9", 50},
    {"Text20", 'T', 6840, 6120, 1095, 285, "", "S9", 47},
    {"Label12", 'L', 5640, 6600, 855, 255, "纵座标 X", "M8", 29},
    {"Text4", 'T', 6480, 6600, 1695, 285, "", "M8", 4},
    {"Label13", 'L', 5640, 7080, 855, 255, "横座标 Y", "M8", 30},
    {"Text5", 'T', 6480, 7080, 1695, 285, "", "M8", 5},
    {"Label21", 'L', 5640, 7440, 975, 375, "中央子午线    经度 Lo", "M8", 39},
    {"Text16", 'T', 6720, 7560, 1455, 285, "", "M8", 38},
    {"Label6", 'L', 6120, 8280, 1695, 255, "投 影 计 算 结 果", "S9", 23},
    {"Label14", 'L', 5640, 8760, 375, 255, " LP", "M8", 31},
    {"Text11", 'T', 6000, 8760, 2175, 285, "", "M8", 11},
    {"Label15", 'L', 5640, 9240, 375, 255, " BP", "M8", 32},
    {"Text12", 'T', 6000, 9240, 2175, 285, "", "M8", 12},
    {"Label25", 'L', 9720, 6120, 495, 255, " 点名", "S9", 49},
    {"Text21", 'T', 10200, 6120, 1095, 285, "", "S9", 48},
    {"Label22", 'L', 8640, 6480, 1335, 375, "  换带前中央      子午线经度 Lo", "M8", 41},
    {"Text17", 'T', 9960, 6600, 1575, 285, "", "M8", 40},
    {"Label16", 'L', 8400, 7080, 1575, 255, "换带前纵座标 X1", "M8", 33},
    {"Text6", 'T', 9960, 7080, 1575, 285, "", "M8", 6},
    {"Label17", 'L', 8400, 7560, 1455, 255, "换带前横座标 Y1", "M8", 34},
    {"Text7", 'T', 9960, 7560, 1575, 285, "", "M8", 7},
    {"Label18", 'L', 8640, 8160, 1335, 375, "  换带后中央       子午线经度 Ls", "M8", 35},
    {"Text8", 'T', 9960, 8280, 1575, 285, "", "M8", 8},
    {"Label19", 'L', 8400, 8760, 1575, 255, "换带后纵座标 X2", "M8", 36},
    {"Text13", 'T', 9960, 8760, 1575, 285, "", "M8", 13},
    {"Label20", 'L', 8400, 9240, 1575, 255, "换带后横座标 Y2", "M8", 37},
    {"Text14", 'T', 9960, 9240, 1575, 285, "", "M8", 14},
    {"Command1", 'B', 4680, 9840, 975, 375, "开始计算", "S9", 15},
    {"Command2", 'B', 5880, 9840, 975, 375, "投影计算", "S9", 16},
    {"Command3", 'B', 7080, 9840, 975, 375, "终止计算", "S9", 17},
    {"Command4", 'B', 8280, 9840, 735, 375, "打 印", "S9", 44},
};
// clang-format on

// Frame lines: end points in twips, width in pixels.
struct ExpectedLine {
    const char* name;
    int x1, y1, x2, y2, width;
};
const ExpectedLine kLines[] = {
    {"Line1", 2520, 4800, 2520, 9720, 3},  {"Line2", 2520, 4800, 11640, 4800, 3},
    {"Line3", 2520, 9720, 11640, 9720, 3}, {"Line4", 11640, 4800, 11640, 9720, 3},
    {"Line5", 2520, 5520, 11640, 5520, 2}, {"Line6", 5520, 5520, 5520, 9720, 2},
    {"Line7", 8280, 5520, 8280, 9720, 2},  {"Line8", 2520, 8040, 11640, 8040, 2},
};

const QColor kBackground(255, 255, 192);
const QColor kRed(255, 0, 0);

int Px(int twips) {
    return qRound(twips * 96 / 1440.0);
}

QFont ExpectedFont(const QString& id) {
    QFont font(id == u"M8" ? QStringLiteral("MS Sans Serif") : QStringLiteral("宋体"));
    font.setPointSizeF(id == u"S9" ? 9 : id == u"S14" ? 14.25 : 8.25);
    return font;
}

// Answers the modal prompts and message boxes of one click as they open, in order.
class ModalDriver : public QObject {
  public:
    struct Seen {
        QString kind;  // "prompt" or "message"
        QString title;
        QString text;
        QString initialValue;
        QRect frame;  // where it stood on the screen
    };
    static constexpr const char* kCancel = "\x1b";

    explicit ModalDriver(QStringList answers) : answers_(std::move(answers)) {
        connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
        timer_.start(5);
    }

    const std::vector<Seen>& seen() const { return seen_; }
    std::vector<Seen> messages() const {
        std::vector<Seen> boxes;
        std::copy_if(seen_.begin(), seen_.end(), std::back_inserter(boxes),
                     [](const Seen& s) { return s.kind == u"message"; });
        return boxes;
    }
    bool ranOut() const { return ranOut_; }
    int unused() const { return static_cast<int>(answers_.size()); }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property("answered").toBool()) return;
        modal->setProperty("answered", true);
        if (auto* dialog = qobject_cast<QInputDialog*>(modal)) {
            auto* edit = dialog->findChild<QLineEdit*>();
            seen_.push_back({QStringLiteral("prompt"), dialog->windowTitle(), dialog->labelText(),
                             edit->text(), dialog->frameGeometry()});
            if (answers_.isEmpty()) {
                ranOut_ = true;  // an unexpected prompt: leave it so the batch ends
                QTest::keyClick(edit, Qt::Key_Escape);
                return;
            }
            const QString answer = answers_.takeFirst();
            if (answer == QLatin1String(kCancel)) {
                QTest::keyClick(edit, Qt::Key_Escape);
                return;
            }
            QTest::keyClicks(edit, answer);
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen_.push_back({QStringLiteral("message"),
                             box->windowTitle(),
                             box->text(),
                             {},
                             box->frameGeometry()});
            QTest::keyClick(box, Qt::Key_Return);
        }
    }

    QStringList answers_;
    std::vector<Seen> seen_;
    bool ranOut_ = false;
    QTimer timer_;
};

// The answers of a forward batch of one point: type, count, then name, L, B with their
// confirmations, Lo, and the pause before the output.
QStringList OnePointForward(const QString& b) {
    return {"1", "1", "", "P1", "", "116.3045", "", b, "", "117", ""};
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private:
    MainWindow* window_ = nullptr;

    QWidget* control(const char* name) const {
        return window_->findChild<QWidget*>(QString::fromLatin1(name));
    }
    QString text(TextBox box) const { return window_->textBox(box)->text(); }
    void click(const char* button) {
        QTest::mouseClick(window_->findChild<QPushButton*>(QString::fromLatin1(button)),
                          Qt::LeftButton);
    }

  private slots:
    void initTestCase() {
        quorvel::testing::SilenceOffscreenSizeHints();
        quorvel::PrepareApplication(QUORVEL_LOCALE_DIR);
        QVERIFY(96 == QApplication::primaryScreen()->logicalDotsPerInchX());
    }
    void init() {
        window_ = new MainWindow;
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }
    void cleanup() {
        delete window_;
        window_ = nullptr;
    }

    void wrapBreaksOnlyAfterBlanks() {
        const QFontMetrics fm(ExpectedFont("M8"));
        const QString pair = QStringLiteral("中央子午线    经度 Lo");
        // Wide enough: unchanged.
        QCOMPARE(quorvel::WrapAtSpaces(pair, fm, 1000), pair);
        // The blanks stay at the end of the upper line; nothing is lost.
        const QString two = quorvel::WrapAtSpaces(pair, fm, fm.horizontalAdvance("中央子午线"));
        QCOMPARE(two, QStringLiteral("中央子午线    \n经度 Lo"));
        // A run without blanks is never split, however narrow the label.
        QCOMPARE(quorvel::WrapAtSpaces(QStringLiteral("计算类型提示"), fm, 5),
                 QStringLiteral("计算类型提示"));
        // Leading blanks are a token of their own and the line ends only after blanks.
        const QString lead = quorvel::WrapAtSpaces(QStringLiteral("   ab cd"), fm, 1);
        QCOMPARE(lead, QStringLiteral("   \nab \ncd"));
        QCOMPARE(quorvel::WrapAtSpaces(QString(), fm, 10), QString());
    }

    void layout_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < static_cast<int>(std::size(kLayout)); ++i)
            QTest::newRow(kLayout[i].name) << i;
    }
    void layout() {
        QFETCH(int, row);
        const Expected& e = kLayout[row];
        QWidget* w = control(e.name);
        QVERIFY2(w, e.name);
        const QRect r = w->geometry();
        QCOMPARE(r.x(), Px(e.left));
        // On a screen too low for the layout, all of it stands higher by the same twips.
        QCOMPARE(r.y(), Px(e.top - window_->lift()));
        QCOMPARE(r.width(), Px(e.width));

        const QFont want = ExpectedFont(e.font);
        QCOMPARE(w->font().family(), want.family());
        QCOMPARE(w->font().pointSizeF(), want.pointSizeF());
        QCOMPARE(w->font().weight(), QFont::Bold);
        // The family resolves to one of its installed stand-ins, not to an arbitrary fallback.
        const QString resolved = QFontInfo(w->font()).family();
        QVERIFY2(QFont::substitutes(want.family()).contains(resolved, Qt::CaseInsensitive),
                 qPrintable(resolved));

        const QString caption = QString::fromUtf8(e.caption);
        switch (e.kind) {
            case 'L': {
                auto* label = qobject_cast<QLabel*>(w);
                QVERIFY(label);
                const QString shown = label->text();
                QCOMPARE(QString(shown).remove(u'\n'), caption);
                const QStringList lines = shown.split(u'\n');
                // The tall labels carry two lines, the others one.
                QCOMPARE(lines.size(), e.height == 375 ? 2 : 1);
                const QFontMetrics fm(label->font());
                for (int i = 0; i + 1 < lines.size(); ++i) QVERIFY(lines[i].endsWith(u' '));
                for (const QString& line : lines)
                    QVERIFY2(fm.horizontalAdvance(line.trimmed()) <= r.width(), qPrintable(line));
                // A label may grow to show its lines, never shrink nor swallow the row below.
                QVERIFY(r.height() >= Px(e.height));
                QVERIFY(r.height() <= Px(e.height) + 8);
                QVERIFY(
                    fm.boundingRect(QRect(0, 0, r.width(), 1000), Qt::AlignLeft, shown).height() <=
                    r.height());
                break;
            }
            case 'T': {
                auto* edit = qobject_cast<QLineEdit*>(w);
                QVERIFY(edit);
                QCOMPARE(r.height(), Px(e.height));
                QVERIFY(edit->text().isEmpty());
                QCOMPARE(edit, window_->textBox(static_cast<TextBox>(
                                   QString::fromLatin1(e.name).mid(4).toInt())));
                break;
            }
            case 'B': {
                auto* button = qobject_cast<QPushButton*>(w);
                QVERIFY(button);
                QCOMPARE(r.height(), Px(e.height));
                QCOMPARE(button->text(), caption);
                // Most of the face is painted in the button's colour.
                const QColor face = QString::fromLatin1(e.name) == u"Command4"
                                        ? QColor(255, 192, 192)
                                        : QColor(192, 255, 192);
                const QImage image = button->grab().toImage();
                int faceCount = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        faceCount += QColor(image.pixel(x, y)) == face;
                QVERIFY2(faceCount * 2 > image.width() * image.height(), e.name);
                break;
            }
        }
    }

    void windowShowsEveryControlAndResizes() {
        QCOMPARE(window_->windowTitle(), QStringLiteral("Quorvel"));
        // Never larger than the screen's available area, frame included.
        const QRect available = window_->screen()->availableGeometry();
        QVERIFY2(available.contains(window_->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                .arg(window_->frameGeometry().width())
                                .arg(window_->frameGeometry().height())
                                .arg(available.width())
                                .arg(available.height())));
        auto* scroll = window_->findChild<QScrollArea*>();
        QVERIFY(scroll);
        const bool roomy =
            available.height() > Px(10215) + 60 && available.width() > Px(11640) + 60;
        if (roomy) {
            // Room enough: the whole layout where it always was, no scroll bar.
            QCOMPARE(window_->lift(), 0);
            QVERIFY(window_->width() >= Px(11640) && window_->height() >= Px(10215));
            QVERIFY(!scroll->verticalScrollBar()->isVisible());
            QVERIFY(!scroll->horizontalScrollBar()->isVisible());
            for (const Expected& e : kLayout)
                QVERIFY2(window_->rect().contains(control(e.name)->geometry()), e.name);
        }
        QVERIFY(window_->minimumSize().width() < window_->width());
        QVERIFY(window_->maximumSize().width() > 4000);
        // Resizing moves nothing; the bars then reach every control.
        window_->resize(312, 213);
        QCoreApplication::processEvents();
        const int lift = window_->lift();
        QCOMPARE(control("Command4")->pos(), QPoint(Px(8280), Px(9840 - lift)));
        QCOMPARE(control("Text14")->geometry(),
                 QRect(Px(9960), Px(9240 - lift), Px(1575), Px(285)));
        QVERIFY(scroll->verticalScrollBar()->isVisible());
        QVERIFY(scroll->horizontalScrollBar()->isVisible());
        for (const Expected& e : kLayout) {
            QWidget* w = control(e.name);
            const QPoint c = w->geometry().center();
            scroll->ensureVisible(c.x(), c.y(), w->width() / 2 + 1, w->height() / 2 + 1);
            const QRect seen(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size());
            QVERIFY2(scroll->viewport()->rect().contains(seen),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                                    .arg(QLatin1String(e.name))
                                    .arg(seen.x())
                                    .arg(seen.y())
                                    .arg(seen.width())
                                    .arg(seen.height())
                                    .arg(scroll->viewport()->width())
                                    .arg(scroll->viewport()->height())));
        }
    }

    void enterOnAFocusedButtonClicksIt() {
        QWidget* button = control("Command1");
        button->setFocus();
        QVERIFY(!window_->state().Constants.Loaded);
        QTest::keyClick(button, Qt::Key_Return);
        QVERIFY(window_->state().Constants.Loaded);
        // Enter on the print button with nothing to print says so, and what to do.
        {
            ModalDriver driver({});
            control("Command4")->setFocus();
            QTest::keyClick(control("Command4"), Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(driver.messages().size(), std::size_t{1});
            QVERIFY(driver.messages()[0].text.startsWith(
                QStringLiteral("没有可打印的计算结果：还没有完成过一批计算。")));
        }
        // After a batch that failed, the message names it.
        window_->state().Constants = {};
        ModalDriver driver({"3", "1", ""});
        click("Command2");
        click("Command4");
        QCOMPARE(driver.messages().size(), std::size_t{2});
        QVERIFY(driver.messages()[1].text.startsWith(
            QStringLiteral("没有可打印的计算结果：上一批座标换带没有完成。")));
    }

    void textBoxesStandAboveTheLabelsTheyOverlap() {
        int overlaps = 0;
        for (const Expected& box : kLayout) {
            if (box.kind != 'T') continue;
            for (const Expected& label : kLayout) {
                if (label.kind != 'L') continue;
                const QRect common =
                    control(box.name)->geometry() & control(label.name)->geometry();
                if (common.isEmpty()) continue;
                ++overlaps;
                QCOMPARE(control("Layout")->childAt(common.center()), control(box.name));
            }
        }
        QVERIFY(overlaps >= 4);
    }

    void colours() {
        const QImage image = control("Layout")->grab().toImage();
        QCOMPARE(QColor(image.pixel(5, 5)), kBackground);
        // Labels show the window's colour around their text.
        const QRect title = control("Label1")->geometry();
        QCOMPARE(QColor(image.pixel(title.right() - 1, title.top() + 1)), kBackground);
        const QRect heading = control("Label6")->geometry();
        QCOMPARE(QColor(image.pixel(heading.right() - 1, heading.bottom() - 1)), kBackground);
    }

    void frameLines() {
        const QImage image = control("Layout")->grab().toImage();
        for (const ExpectedLine& line : kLines) {
            const bool vertical = line.x1 == line.x2;
            // Two points along the line, each away from any control.
            for (double along : {0.3, 0.5}) {
                const int x = Px(line.x1) + qRound((Px(line.x2) - Px(line.x1)) * along);
                const int lift = window_->lift();
                const int y = Px(line.y1 - lift) + qRound((Px(line.y2) - Px(line.y1)) * along);
                QVERIFY2(QColor(image.pixel(x, y)) == kRed, line.name);
                // The red run across the line is as wide as the line.
                int run = 0;
                for (int d = -6; d <= 6; ++d) {
                    const QPoint p = vertical ? QPoint(x + d, y) : QPoint(x, y + d);
                    run += QColor(image.pixel(p)) == kRed;
                }
                QVERIFY2(
                    run == line.width,
                    qPrintable(QStringLiteral("%1: %2 px").arg(QLatin1String(line.name)).arg(run)));
            }
        }
    }

    void focusStartsInText1AndTabFollowsTheTabIndex() {
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_));
        QCOMPARE(QApplication::focusWidget(), control("Text1"));

        std::vector<Expected> focusable;
        std::copy_if(std::begin(kLayout), std::end(kLayout), std::back_inserter(focusable),
                     [](const Expected& e) { return e.kind != 'L'; });
        std::sort(focusable.begin(), focusable.end(),
                  [](const Expected& a, const Expected& b) { return a.tab < b.tab; });
        for (std::size_t i = 1; i <= focusable.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            // After the last control the focus comes round to the first again.
            QCOMPARE(QApplication::focusWidget()->objectName(),
                     QString::fromLatin1(focusable[i % focusable.size()].name));
        }
    }

    void promptReturnsTypedTextOrDefaultAndNothingOnCancel() {
        quorvel::QtPrompt prompt(window_);
        using Answer = std::optional<std::string>;
        {
            ModalDriver driver({"", "abc"});
            QVERIFY(prompt.Ask("消息", "标题", "5") == Answer("5"));
            QCOMPARE(driver.seen().at(0).title, QStringLiteral("标题"));
            QCOMPARE(driver.seen().at(0).text, QStringLiteral("消息"));
            QCOMPARE(driver.seen().at(0).initialValue, QStringLiteral("5"));
            // The default opens selected: typing replaces it.
            QVERIFY(prompt.Ask("消息", "标题", "5") == Answer("abc"));
        }
        {
            ModalDriver driver({"", ModalDriver::kCancel});
            // Enter on the empty prompt is an empty answer; Esc is no answer at all.
            QVERIFY(prompt.Ask("消息") == Answer(""));
            QVERIFY(prompt.Ask("消息", {}, "typed") == std::nullopt);
            // Untitled prompts carry the program's title.
            QCOMPARE(driver.seen().at(0).title, QStringLiteral("Quorvel"));
        }
    }

    void dialogsGoAboveTheTitleElseBelowTheWindow() {
        using quorvel::DialogPosition;
        const QRect screen(0, 0, 1000, 700), window(100, 50, 600, 500);
        // Room in the band: centred on the window and in the band.
        QCOMPARE(DialogPosition({200, 100}, {100, 50, 600, 200}, window, screen), QPoint(300, 100));
        // The band too low (scrolled away, a small window): just below the window.
        QCOMPARE(DialogPosition({200, 100}, {100, 50, 600, 60}, window, screen), QPoint(300, 550));
        QCOMPARE(DialogPosition({200, 100}, {}, window, screen), QPoint(300, 550));
        // No room below either: at the bottom of the screen; never off its sides.
        QCOMPARE(DialogPosition({200, 100}, {}, {700, 50, 600, 620}, screen), QPoint(800, 600));
        QCOMPARE(DialogPosition({1200, 100}, {}, window, screen), QPoint(0, 550));
    }

    void panelReplacesTextAndShowsItsBeginning() {
        quorvel::QtPanel panel([this](TextBox box) { return window_->textBox(box); });
        QLineEdit* box = window_->textBox(TextBox::ForwardName);
        panel.SetText(TextBox::ForwardName, " 很长的点名很长的点名很长的点名很长的点名 end");
        QCOMPARE(box->text(), QStringLiteral(" 很长的点名很长的点名很长的点名很长的点名 end"));
        QCOMPARE(box->cursorPosition(), 0);
        panel.SetText(TextBox::ForwardName, "");
        QVERIFY(box->text().isEmpty());
    }

    void forwardBatchThroughThePrompts() {
        click("Command1");
        ModalDriver driver(OnePointForward("30.3030"));
        click("Command2");
        QVERIFY(!driver.ranOut());
        QCOMPARE(driver.unused(), 0);
        QVERIFY(driver.messages().empty());
        QCOMPARE(driver.seen().size(), std::size_t{11});
        QCOMPARE(driver.seen().front().title, QStringLiteral("计算类型判别符号"));
        QCOMPARE(driver.seen()[1].title, QStringLiteral("Quorvel"));
        QCOMPARE(driver.seen()[9].title, QStringLiteral("中央子午线"));

        QCOMPARE(text(TextBox::ForwardX), QStringLiteral(" 3376626.6403"));
        QCOMPARE(text(TextBox::ForwardY), QStringLiteral(" 453203.4506"));
        QCOMPARE(text(TextBox::ForwardL), QStringLiteral(" 116.304500"));
        QCOMPARE(text(TextBox::ForwardB), QStringLiteral(" 30.303000"));
        QCOMPARE(text(TextBox::ForwardMeridian), QStringLiteral(" 117.000000"));
        QCOMPARE(text(TextBox::ForwardName), QStringLiteral(" P1"));
        QCOMPARE(text(TextBox::ComputationHint), QStringLiteral("本计算为大地正算"));
        QCOMPARE(text(TextBox::PointCount), QStringLiteral("本次共计算 1 点"));
        QVERIFY(window_->state().BatchComplete);
        // The other panels are untouched.
        QVERIFY(text(TextBox::InverseX).isEmpty());
        QVERIFY(text(TextBox::ZoneX2).isEmpty());
    }

    void mistypedValueIsReportedAndAskedAgainAndNoDialogCoversABox() {
        click("Command1");
        QStringList answers = OnePointForward("abc");
        answers.insert(9, "30.3030");  // after the error box: the re-entry prompt
        answers.insert(10, "");
        ModalDriver driver(answers);
        click("Command2");
        QVERIFY(!driver.ranOut());
        QCOMPARE(driver.unused(), 0);
        const auto boxes = driver.messages();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].title, QStringLiteral("Quorvel"));
        QCOMPARE(boxes[0].text, QStringLiteral("类型不匹配：第 1 点的大地纬度 B：“abc” 不是数值"));
        QCOMPARE(driver.seen()[9].kind, QStringLiteral("message"));
        QCOMPARE(driver.seen()[10].text, QStringLiteral("请输入大地纬度的正确数值"));
        QCOMPARE(text(TextBox::ForwardX), QStringLiteral(" 3376626.6403"));
        QVERIFY(window_->state().BatchComplete);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        // Every prompt and the error box stood above the title, centred, covering no text box.
        const QRect title(control("Label1")->mapToGlobal(QPoint(0, 0)), control("Label1")->size());
        const int centre = window_->frameGeometry().center().x();
        for (const auto& seen : driver.seen()) {
            QVERIFY2(seen.frame.isValid(), qPrintable(seen.text));
            QVERIFY2(seen.frame.bottom() < title.top(), qPrintable(seen.text));
            QVERIFY2(qAbs(seen.frame.center().x() - centre) <= 1, qPrintable(seen.text));
            for (int i = 1; i <= 21; ++i) {
                const QLineEdit* box = window_->textBox(static_cast<TextBox>(i));
                const QRect r(box->mapToGlobal(QPoint(0, 0)), box->size());
                QVERIFY2(!seen.frame.intersects(r), qPrintable(seen.text));
            }
        }
    }

    void cancelLeavesTheBatchAndPutsTheWindowBack() {
        click("Command1");
        {
            ModalDriver driver(OnePointForward("30.3030"));
            click("Command2");
        }
        auto texts = [this] {
            QStringList all;
            for (int i = 1; i <= 21; ++i) all << text(static_cast<TextBox>(i));
            return all;
        };
        const QStringList before = texts();
        // A count of 32767 (inverse, so the hint box changes), then Esc at the first name.
        ModalDriver driver({"2", "32767", "", ModalDriver::kCancel});
        click("Command2");
        QVERIFY(!driver.ranOut());
        QCOMPARE(driver.seen().size(), std::size_t{4});
        QVERIFY(driver.messages().empty());
        QCOMPARE(texts(), before);
        QCOMPARE(window_->state().BatchComputation, std::optional(quorvel::Computation::Forward));
        QCOMPARE(window_->state().StoredPointCount(), 1);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
