#include "ui/main_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <vector>

#include "batch/batch.h"
#include "batch/report_input.h"
#include "core/errors.h"
#include "print/fonts.h"
#include "print/qt_messages.h"
#include "print/report_printer.h"
#include "ui/qt_io.h"

namespace quorvel {
namespace {

enum class Kind { Label, TextBox, Button };
enum class FontId { S9, S14, M8 };

struct Control {
    const char* name;
    Kind kind;
    int left, top, width, height;  // twips
    const char* caption;
    FontId font;
    int tab;
};

// clang-format off
constexpr Control kControls[] = {
    {"Label1", Kind::Label, 5880, 4440, 2655, 255, "Quorvel 计 算", FontId::S14, 0},
    {"Label5", Kind::Label, 3360, 5040, 1215, 255, "计算类型提示", FontId::M8, 22},
    {"Text15", Kind::TextBox, 4560, 5040, 1935, 285, "", FontId::M8, 18},
    {"Label23", Kind::Label, 6720, 5040, 1215, 255, "计算点数说明", FontId::S9, 43},
    {"Text18", Kind::TextBox, 7920, 5040, 2655, 285, "", FontId::M8, 42},
    {"Label2", Kind::Label, 3480, 5640, 1335, 375, "   大地正算           ( L,B------X,Y )", FontId::M8, 19},
    {"Label3", Kind::Label, 6240, 5640, 1215, 375, "   大地反算       ( X,Y------L,B )", FontId::M8, 20},
    {"Label4", Kind::Label, 9120, 5640, 1695, 375, "      座标换带               ( X1,Y1-----X2,Y2 )", FontId::M8, 21},
    {"Label27", Kind::Label, 3480, 6120, 495, 255, " 点名", FontId::S9, 51},
    {"Text19", Kind::TextBox, 3960, 6120, 1215, 285, "", FontId::S9, 46},
    {"Label7", Kind::Label, 2760, 6600, 975, 255, "经度 L", FontId::M8, 24},
    {"Text1", Kind::TextBox, 3360, 6600, 2055, 285, "", FontId::M8, 1},
    {"Label8", Kind::Label, 2760, 7080, 975, 255, "纬度 B", FontId::M8, 25},
    {"Text2", Kind::TextBox, 3360, 7080, 2055, 285, "", FontId::M8, 2},
    {"Label11", Kind::Label, 2640, 7440, 975, 375, "中央子午线    经度 Lo", FontId::M8, 28},
    {"Text3", Kind::TextBox, 3720, 7560, 1695, 285, "", FontId::M8, 3},
    {"Label24", Kind::Label, 3480, 8280, 1095, 255, " 正 算 座 标 ", FontId::M8, 45},
    {"Label9", Kind::Label, 2640, 8760, 975, 255, " 纵座标 XP", FontId::M8, 26},
    {"Text9", Kind::TextBox, 3600, 8760, 1815, 285, "", FontId::M8, 9},
    {"Label10", Kind::Label, 2640, 9240, 975, 255, " 横座标 YP", FontId::M8, 27},
    {"Text10", Kind::TextBox, 3600, 9240, 1815, 285, "", FontId::M8, 10},
    {"Label26", Kind::Label, 6360, 6120, 495, 255, " 点名", FontId::S9, 50},
    {"Text20", Kind::TextBox, 6840, 6120, 1095, 285, "", FontId::S9, 47},
    {"Label12", Kind::Label, 5640, 6600, 855, 255, "纵座标 X", FontId::M8, 29},
    {"Text4", Kind::TextBox, 6480, 6600, 1695, 285, "", FontId::M8, 4},
    {"Label13", Kind::Label, 5640, 7080, 855, 255, "横座标 Y", FontId::M8, 30},
    {"Text5", Kind::TextBox, 6480, 7080, 1695, 285, "", FontId::M8, 5},
    {"Label21", Kind::Label, 5640, 7440, 975, 375, "中央子午线    经度 Lo", FontId::M8, 39},
    {"Text16", Kind::TextBox, 6720, 7560, 1455, 285, "", FontId::M8, 38},
    {"Label6", Kind::Label, 6120, 8280, 1695, 255, "投 影 计 算 结 果", FontId::S9, 23},
    {"Label14", Kind::Label, 5640, 8760, 375, 255, " LP", FontId::M8, 31},
    {"Text11", Kind::TextBox, 6000, 8760, 2175, 285, "", FontId::M8, 11},
    {"Label15", Kind::Label, 5640, 9240, 375, 255, " BP", FontId::M8, 32},
    {"Text12", Kind::TextBox, 6000, 9240, 2175, 285, "", FontId::M8, 12},
    {"Label25", Kind::Label, 9720, 6120, 495, 255, " 点名", FontId::S9, 49},
    {"Text21", Kind::TextBox, 10200, 6120, 1095, 285, "", FontId::S9, 48},
    {"Label22", Kind::Label, 8640, 6480, 1335, 375, "  换带前中央      子午线经度 Lo", FontId::M8, 41},
    {"Text17", Kind::TextBox, 9960, 6600, 1575, 285, "", FontId::M8, 40},
    {"Label16", Kind::Label, 8400, 7080, 1575, 255, "换带前纵座标 X1", FontId::M8, 33},
    {"Text6", Kind::TextBox, 9960, 7080, 1575, 285, "", FontId::M8, 6},
    {"Label17", Kind::Label, 8400, 7560, 1455, 255, "换带前横座标 Y1", FontId::M8, 34},
    {"Text7", Kind::TextBox, 9960, 7560, 1575, 285, "", FontId::M8, 7},
    {"Label18", Kind::Label, 8640, 8160, 1335, 375, "  换带后中央       子午线经度 Ls", FontId::M8, 35},
    {"Text8", Kind::TextBox, 9960, 8280, 1575, 285, "", FontId::M8, 8},
    {"Label19", Kind::Label, 8400, 8760, 1575, 255, "换带后纵座标 X2", FontId::M8, 36},
    {"Text13", Kind::TextBox, 9960, 8760, 1575, 285, "", FontId::M8, 13},
    {"Label20", Kind::Label, 8400, 9240, 1575, 255, "换带后横座标 Y2", FontId::M8, 37},
    {"Text14", Kind::TextBox, 9960, 9240, 1575, 285, "", FontId::M8, 14},
    {"Command1", Kind::Button, 4680, 9840, 975, 375, "开始计算", FontId::S9, 15},
    {"Command2", Kind::Button, 5880, 9840, 975, 375, "投影计算", FontId::S9, 16},
    {"Command3", Kind::Button, 7080, 9840, 975, 375, "终止计算", FontId::S9, 17},
    {"Command4", Kind::Button, 8280, 9840, 735, 375, "打 印", FontId::S9, 44},
};

struct Line {
    int x1, y1, x2, y2;  // twips
    int width;           // pixels
};

constexpr Line kLines[] = {
    {2520, 4800, 2520, 9720, 3},    // Line1: left edge of the frame
    {2520, 4800, 11640, 4800, 3},   // Line2: top edge
    {2520, 9720, 11640, 9720, 3},   // Line3: bottom edge
    {11640, 4800, 11640, 9720, 3},  // Line4: right edge
    {2520, 5520, 11640, 5520, 2},   // Line5: hint row | panels
    {5520, 5520, 5520, 9720, 2},    // Line6: forward | inverse
    {8280, 5520, 8280, 9720, 2},    // Line7: inverse | zone
    {2520, 8040, 11640, 8040, 2},   // Line8: input rows | result rows
};
// clang-format on

// The extent the layout needs: right edge of the frame, bottom of the buttons.
constexpr int kLayoutWidth = 11640;
// The empty band above the title (its top edge), where prompts stand clear of every text box.
constexpr int kPromptBandHeight = 4440;
constexpr int kLayoutHeight = 10215;
constexpr int kMargin = 240;
// On a screen too low for the whole layout (1366 x 768 at 125 %), the layout moves up into that
// band rather than hide its buttons below a scroll bar; this much of the band always stays.
constexpr int kSmallestPromptBand = 960;

const QColor kBackground(255, 255, 192);
const QColor kGreenFace(192, 255, 192);
const QColor kRedFace(255, 192, 192);
const QColor kLineColour(255, 0, 0);

QFont MakeFont(FontId id) {
    QFont font;
    switch (id) {
        case FontId::S9:
            font = QFont(QStringLiteral("宋体"));
            font.setPointSizeF(9);
            break;
        case FontId::S14:
            font = QFont(QStringLiteral("宋体"));
            font.setPointSizeF(14.25);
            break;
        case FontId::M8:
            font = QFont(QStringLiteral("MS Sans Serif"));
            font.setPointSizeF(8.25);
            break;
    }
    font.setWeight(QFont::Bold);
    return font;
}

// One classic style for every button of every window; it outlives them all.
QStyle* ClassicButtonStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = QStyleFactory::create(QStringLiteral("Windows"));
        if (style) style->setParent(QCoreApplication::instance());
    }
    return style;
}

int ToPixels(int twips, int dpi) {
    return qRound(twips * dpi / 1440.0);
}

// The layout at its full size, with the red frame lines drawn under the controls; `lift` twips
// higher on a low screen.
class LayoutCanvas : public QWidget {
  public:
    using QWidget::QWidget;
    int lift = 0;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QWidget::paintEvent(event);
        QPainter painter(this);
        for (const Line& line : kLines) {
            painter.setPen(QPen(kLineColour, line.width, Qt::SolidLine, Qt::SquareCap));
            painter.drawLine(Px(line.x1, logicalDpiX()), Px(line.y1 - lift, logicalDpiY()),
                             Px(line.x2, logicalDpiX()), Px(line.y2 - lift, logicalDpiY()));
        }
    }

  private:
    static int Px(int twips, int dpi) { return ToPixels(twips, dpi); }
};

// A push button that Enter clicks as Space does, as buttons elsewhere on the desktop do. A held
// key's repeats are ignored, so that Enter held on a closing prompt starts nothing new.
class Button : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const auto mods = event->modifiers() & ~Qt::KeypadModifier;
        if (enter && mods == Qt::NoModifier) {
            event->accept();
            if (!event->isAutoRepeat()) click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

// Tells the user what happened unless the report was simply printed; with nothing to print, why
// and what to do.
void ShowPrintResult(QWidget* parent, const QRect& band, const BatchState& state,
                     const PrintResult& result) {
    QString message = result.message;
    if (result.outcome == PrintOutcome::NothingToPrint) {
        const std::optional<Computation> computation = state.BatchComputation;
        const std::string_view kind = computation ? ReportKindName(*computation) : "";
        message =
            kind.empty()
                ? QtMessage(
                      Tr("Nothing to print: no batch has been completed yet.\nClick "
                         "\"开始计算\", then \"投影计算\" to complete a batch, then \"打 印\"."))
                : QtMessage(Tr("Nothing to print: the last {0} was not completed.\nClick "
                               "\"投影计算\" to complete a batch again, then \"打 印\"."),
                            {QString::fromUtf8(kind.data(), static_cast<qsizetype>(kind.size()))});
    }
    if (message.isEmpty()) return;
    const bool trouble = result.outcome == PrintOutcome::Failed ||
                         (result.outcome == PrintOutcome::SavedAsPdf && !result.printer.isEmpty());
    ShowMessage(parent, band, trouble ? QMessageBox::Warning : QMessageBox::Information, message);
}

}  // namespace

void PrepareApplication(const char* catalogues) {
    // The name, not a display name: Qt would append a display name to every titled prompt
    // ("计算类型判别符号 — Quorvel"), while the name only stands in for an empty title.
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    InstallFontSubstitutions();
    // The window speaks Chinese: its messages, and the engine's reasons it shows.
    BindCatalogue(catalogues);
    UseChinese();
    // Qt's own words too (file dialogs, 确定 and 取消, the print dialog), whatever the locale:
    // Debian's qt6-translations-l10n. Without it they stay English.
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QStringLiteral("qtbase_zh_CN"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
}

QString WrapAtSpaces(const QString& caption, const QFontMetrics& metrics, int width) {
    // Tokens: a run of non-blanks with the blanks that follow it.
    std::vector<QString> tokens;
    for (qsizetype i = 0; i < caption.size();) {
        qsizetype j = i;
        while (j < caption.size() && caption[j] != u' ') ++j;
        while (j < caption.size() && caption[j] == u' ') ++j;
        tokens.push_back(caption.mid(i, j - i));
        i = j;
    }
    auto visibleWidth = [&metrics](const QString& text) {
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == u' ') --end;
        return metrics.horizontalAdvance(text.left(end));
    };
    QString wrapped;
    QString line;
    for (const QString& token : tokens) {
        if (!line.isEmpty() && visibleWidth(line + token) > width) {
            wrapped += line + u'\n';
            line.clear();
        }
        line += token;
    }
    return wrapped + line;
}

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent),
      prompt_(this, [this] { return promptBand(); }),
      panel_([this](TextBox box) { return textBox(box); }) {
    setWindowTitle(QStringLiteral("Quorvel"));
    QPalette background = palette();
    background.setColor(QPalette::Window, kBackground);
    setPalette(background);
    setAutoFillBackground(true);

    BuildCanvas();
    PlaceControls();
    auto* command1 = findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* command2 = findChild<QPushButton*>(QStringLiteral("Command2"));
    auto* command3 = findChild<QPushButton*>(QStringLiteral("Command3"));
    auto* command4 = findChild<QPushButton*>(QStringLiteral("Command4"));
    connect(command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &MainWindow::Command2_click);
    connect(command3, &QPushButton::clicked, this, &MainWindow::command3_click);
    connect(command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    // On a screen too low for the layout it rises into the band above the title first.
    if (const QScreen* s = screen()) Compact(ScreenRoom(*s).height());
    resize(FittedSize());
    textBox(TextBox::ForwardL)->setFocus();
}

void MainWindow::BuildCanvas() {
    // Controls keep their places on a canvas of the layout's size; the scroll area shows bars
    // only when the window is smaller than that.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("LayoutScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->viewport()->setAutoFillBackground(true);
    scroll_->setFocusPolicy(Qt::NoFocus);  // Tab goes through the controls only
    canvas_ = new LayoutCanvas;
    canvas_->setObjectName(QStringLiteral("Layout"));
    canvas_->setAutoFillBackground(true);
    canvas_->setFixedSize(pxX(kLayoutWidth + kMargin), pxY(kLayoutHeight + kMargin));
    scroll_->setWidget(canvas_);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(scroll_);
}

void MainWindow::PlaceControls() {
    // The classic style paints a button's whole face in its palette colour; Fusion only tints.
    QStyle* buttonStyle = ClassicButtonStyle();

    struct Focusable {
        int tab;
        QWidget* widget;
    };
    std::vector<Focusable> focusChain;
    std::vector<QLineEdit*> edits;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const Control& c = kControls[i];
        const QRect rect(pxX(c.left), pxY(c.top), pxX(c.width), pxY(c.height));
        const QString name = QString::fromLatin1(c.name);
        const QFont font = MakeFont(c.font);
        switch (c.kind) {
            case Kind::Label: {
                auto* label = new QLabel(canvas_);
                label->setFont(font);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                label->setWordWrap(false);
                label->setText(
                    WrapAtSpaces(QString::fromUtf8(c.caption), label->fontMetrics(), rect.width()));
                label->setObjectName(name);
                placed_.emplace_back(label, i);
                break;
            }
            case Kind::TextBox: {
                auto* edit = new QLineEdit(canvas_);
                edit->setObjectName(name);
                edit->setFont(font);
                placed_.emplace_back(edit, i);
                textBoxes_[static_cast<std::size_t>(name.mid(4).toInt() - 1)] = edit;
                edits.push_back(edit);
                focusChain.push_back({c.tab, edit});
                break;
            }
            case Kind::Button: {
                auto* button = new Button(QString::fromUtf8(c.caption), canvas_);
                button->setObjectName(name);
                button->setFont(font);
                placed_.emplace_back(button, i);
                if (buttonStyle) button->setStyle(buttonStyle);
                QPalette face = button->palette();
                face.setColor(QPalette::Button, name == u"Command4" ? kRedFace : kGreenFace);
                button->setPalette(face);
                focusChain.push_back({c.tab, button});
                break;
            }
        }
    }
    Place();
    // Labels overlap the left end of some text boxes; the boxes stay on top.
    for (QLineEdit* edit : edits) edit->raise();

    std::sort(focusChain.begin(), focusChain.end(),
              [](const Focusable& a, const Focusable& b) { return a.tab < b.tab; });
    for (std::size_t i = 1; i < focusChain.size(); ++i) {
        setTabOrder(focusChain[i - 1].widget, focusChain[i].widget);
    }
}

void MainWindow::Place() {
    for (const auto& [widget, index] : placed_) {
        const Control& c = kControls[index];
        QRect rect(pxX(c.left), pxY(c.top - lift_), pxX(c.width), pxY(c.height));
        // Two-line captions and the 14-point title are taller than their twips give them here:
        // they grow downwards rather than lose their lower edge.
        if (c.kind == Kind::Label)
            rect.setHeight(std::max(rect.height(), widget->sizeHint().height()));
        widget->setGeometry(rect);
    }
}

int MainWindow::SmallestHeight() const {
    return pxY(kLayoutHeight + kMargin - (kPromptBandHeight - kSmallestPromptBand));
}

void MainWindow::Compact(int height) {
    // Twips enough to make up the pixels missing, rounded up, within the band.
    const int missing = pxY(kLayoutHeight + kMargin) - height;
    const int dpi = std::max(1, logicalDpiY());
    int lift = missing <= 0 ? 0 : (missing * 1440 + dpi - 1) / dpi;
    while (lift > 0 && pxY(kLayoutHeight + kMargin - lift) > height) ++lift;
    lift = std::clamp(lift, 0, kPromptBandHeight - kSmallestPromptBand);
    if (lift == lift_) return;
    lift_ = lift;
    static_cast<LayoutCanvas*>(canvas_)->lift = lift;
    canvas_->setFixedSize(pxX(kLayoutWidth + kMargin), pxY(kLayoutHeight + kMargin - lift));
    Place();
    canvas_->update();
}

QSize MainWindow::ScreenRoom(const QScreen& s) const {
    // The screen's available area less the title bar and frame the window manager adds.
    const int frameWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return s.availableGeometry().size() -
           QSize(2 * frameWidth, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * frameWidth);
}

QSize MainWindow::FittedSize() const {
    // No larger than the screen's room; a bar on one side takes room from the other.
    QSize size = canvas_->size();
    if (const QScreen* s = screen()) {
        const QSize room = ScreenRoom(*s);
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (SmallestHeight() > room.height()) size.rwidth() += bar;
        if (size.width() > room.width()) size.rheight() += bar;
        size = size.boundedTo(room);
    }
    return size;
}

QSize MainWindow::MissingRoom() const {
    return canvas_->size() - scroll_->size();
}

MainWindow::~MainWindow() = default;

QLineEdit* MainWindow::textBox(TextBox box) const {
    return textBoxes_.at(static_cast<std::size_t>(box) - 1);
}

int MainWindow::pxX(int twips) const {
    return ToPixels(twips, logicalDpiX());
}
int MainWindow::pxY(int twips) const {
    return ToPixels(twips, logicalDpiY());
}

void MainWindow::Command1_Click() {
    RunHandler([this] { quorvel::Command1_Click(state_); });
}

void MainWindow::Command2_click() {
    RunHandler([this] { Batches(state_, prompt_, panel_).Command2_click(); });
}

void MainWindow::command3_click() {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void MainWindow::Command4_Click() {
    RunHandler([this] {
        ShowPrintResult(this, promptBand(), state_, PrintBatchReport(ReportInputFrom(state_)));
    });
}

QRect MainWindow::promptBand() const {
    const QRect band(canvas_->mapToGlobal(QPoint(0, 0)),
                     QSize(canvas_->width(), pxY(kPromptBandHeight - lift_)));
    const QRect seen(scroll_->viewport()->mapToGlobal(QPoint(0, 0)), scroll_->viewport()->size());
    // Horizontally the band is the window's whole width; only its height matters.
    const QRect visible = band & seen;
    if (visible.isEmpty()) return {};
    return {QPoint(mapToGlobal(QPoint(0, 0)).x(), visible.top()), QSize(width(), visible.height())};
}

void MainWindow::RunHandler(const std::function<void()>& handler) {
    QString message;
    try {
        handler();
        return;
    } catch (const Error& e) {
        message = QString::fromUtf8(e.what());
    } catch (const std::exception& e) {
        message = QtMessage(Tr("program error: {0}"), {QString::fromUtf8(e.what())});
    }
    ShowMessage(this, promptBand(), QMessageBox::Critical, message);
}

}  // namespace quorvel
