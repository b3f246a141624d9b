#include "ui/app_window.h"

#include <GeographicLib/Config.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/text_encoding.h"
#include "print/file_names.h"
#include "print/qt_messages.h"
#include "ui/datum_dialog.h"
#include "ui/file_compute_dialog.h"
#include "ui/file_job.h"
#include "ui/job_runner.h"
#include "ui/main_window.h"
#include "ui/measure_dialog.h"
#include "ui/point_preview.h"
#include "ui/qt_io.h"
#include "ui/results_window.h"
#include "ui/sheet_dialog.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel {
namespace {

const char kHelp[] = R"(<h3>一批点的计算</h3>
<ol>
<li>单击 <b>开始计算</b>，载入椭球常数。</li>
<li>单击 <b>投影计算</b>，输入计算类型（1 大地正算，2 大地反算，3 座标换带）和点数。</li>
<li>每个值都要确认：在确认框里直接按 Enter 接受，输入 0 重新输入。</li>
<li>逐点输入点名和两个值，然后输入中央子午线（换带时还有换带后的中央子午线）。</li>
<li>在“单击 Enter 键或点击 OK 键输出计算结果 :”处按 Enter，逐点显示结果。<b>打 印</b> 打印最近一批。</li>
</ol>
<h3>度.分秒</h3>
<p>经纬度按“度.分秒”输入和显示：<code>116.3045</code> 是 116°30′45″，<code>117.3</code> 是
117°30′，再往后的小数是秒的小数。</p>
<h3>从文件计算（Ctrl+O，或把文件拖到窗口上）</h3>
<p>文本文件，每行一个点：点名和两个值（正算 L、B；反算 X、Y；换带 X1、Y1），以逗号、制表符或空格分隔；
字段可像 CSV 那样加双引号。空行和以 <code>#</code> 开头的行跳过。也可打开 Excel 工作簿（.xlsx、.xls）：
在“工作表”中选择工作表，按单元格中存储的数值读取，行号即 Excel 的行号。</p>
<p>预览上方一行为每列选用途（Alt+C）：点名、两个值、带入（原样带到结果中）或忽略。有表头时按列名
（点名、X、Y、经度、纬度等）自动选好，否则按点名和两个值在前三列。<b>更多选项</b>里有小数逗号、k0、
东偏、收敛角 γ、长度比 k、与精确算法比较、全精度。同样表头的文件下次打开时沿用上次的选择；
在进度框里取消会回到此对话框。</p>
<p>结果可导出为 CSV（带 UTF-8 BOM，Excel 可直接打开），与结果窗口所示的 quorvel-batch 命令的输出
逐字节相同。Ctrl+P 打开打印对话框，可选打印机、页码或 PDF 文件。</p>
<h3>坐标转换（工具 › 坐标转换…，Ctrl+T）</h3>
<p>选源、目标坐标系（椭球；平面、大地或空间直角；中央子午线或 3°/6° 带）和模型（七参数、四参数、三参数），
在公共点表中按 Ctrl+V 粘贴表格中的行（点名、源坐标、目标坐标），或打开公共点文件。勾选为参与，不勾为检核。
<b>计算参数</b>（F5）显示参数及中误差、σ0 和残差（mm），超过 3 倍中误差的行为红色；在残差表中取消勾选即重算。
<b>保存参数…</b> 写出与 <code>quorvel-batch fit -p</code> 相同的参数文件；<b>转换文件…</b> 用所示参数
（计算或载入的，无需先保存）转换点文件，结果在结果窗口中显示（表格、地图、同样结果的 quorvel-batch transform
命令），可导出 CSV，目标为平面坐标时还可导出 CASS DAT。</p>
<h3>图幅号（工具 › 图幅号…）</h3>
<p>输入点的 L, B（度.分秒）或图幅号（新图号 J50E001010 或旧图号 J-50-5-B），选比例尺（1:100万 至 1:500），
按 Enter：显示图幅号、四个图廓点的 L、B（选 3°/6° 带或中央子午线时还有按当前椭球与算法计算的 X、Y）
和周围八幅的图号。位于图廓线上的点属于其东北方向的图幅。<b>文件…</b> 为点文件（点名, L, B）中的每个点
写出图幅号，与 <code>quorvel-batch sheet</code> 的输出相同。</p>
<h3>坐标反算与面积（工具 › 坐标反算… / 面积计算…）</h3>
<p>每行一点（点名 X Y，可从 Excel 粘贴），随输入即算：<b>坐标反算</b>给出相邻两点（或勾选两两成对时第 1–2、3–4…
行）的平面距离和坐标方位角（度.分秒，自 X 轴顺时针）；两点相同时方位角空缺并注明。<b>面积计算</b>按点的顺序
围成多边形（首点可重复），给出面积（m²、亩、公顷）、周长和走向；自相交的多边形不计算，注明相交的两条边和交点。
填入中央子午线 L0 时，按椭球与算法的设置把各点反算到 L、B，另给椭球面上的大地线距离、大地方位角及其差值，
和椭球面上的面积，与 <code>quorvel-batch distance --lo</code>、<code>area --lo</code> 相同。</p>
<h3>椭球与算法</h3>
<p>默认是克拉索夫斯基椭球（北京1954）和传统级数，结果与以往逐位相同。其他椭球只能用精确算法。</p>
<p>传统级数离中央子午线越远越不准（反算在 3° 带边缘差约 2 厘米，6° 带边缘约 0.3 米）。输入中央子午线时，
结果与精确解相差超过 1 米、或距中央子午线超过 35° 的点会被指出，并重新询问中央子午线；
这样的点请改用 设置 › 椭球与算法 › 精确（35° 以内准确到 5 纳米）。</p>)";

}  // namespace

std::unique_ptr<QSettings> ProgramSettings() {
    return std::make_unique<QSettings>(QStringLiteral("Quorvel"), QStringLiteral("Quorvel"));
}

AppWindow::AppWindow(QWidget* parent)
    : QMainWindow(parent), calculator_(new MainWindow(this)), runner_(new JobRunner(this)) {
    setCentralWidget(calculator_);
    setAcceptDrops(true);

    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    QAction* open =
        file->addAction(QStringLiteral("从文件计算…"), this, &AppWindow::OpenFileDialog);
    open->setShortcut(QKeySequence::Open);
    file->addSeparator();
    QAction* quit =
        file->addAction(QStringLiteral("退出"), calculator_, &MainWindow::command3_click);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* settings = menuBar()->addMenu(QStringLiteral("设置(&S)"));
    settings->addAction(QStringLiteral("椭球与算法…"), this, &AppWindow::EditSettings);
    QMenu* tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    QAction* datum = tools->addAction(QStringLiteral("坐标转换…"), this, [this] {
        auto* dialog = new DatumDialog(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        dialog->activateWindow();
    });
    datum->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    tools->addAction(QStringLiteral("图幅号…"), this, [this] {
        auto* dialog = new SheetDialog(geodesy_, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        dialog->activateWindow();
    });
    for (const auto& [caption, tab] : {std::pair{"坐标反算…", MeasureDialog::Tab::Distance},
                                       std::pair{"面积计算…", MeasureDialog::Tab::Area}}) {
        tools->addAction(QString::fromUtf8(caption), this, [this, tab] {
            auto* dialog = new MeasureDialog(geodesy_, tab, this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
            dialog->activateWindow();
        });
    }
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    QAction* manual = help->addAction(QStringLiteral("使用说明"), this, &AppWindow::ShowHelp);
    manual->setShortcut(QKeySequence::HelpContents);
    help->addAction(QStringLiteral("关于 Quorvel"), this, &AppWindow::ShowAbout);

    SetGeodesy(GeodesySettings::Load(*ProgramSettings()));
    // The calculator chose its size to fit the screen; the menu bar must not push it past the
    // bottom edge: the calculator lifts its layout into the band above the title by the menu's
    // height too, and its scroll area takes up what still does not fit.
    const int menu = menuBar()->sizeHint().height();
    QSize size = calculator_->size() + QSize(0, menu);
    if (const QScreen* s = screen()) {
        const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        const QSize room =
            s->availableGeometry().size() -
            QSize(2 * frame, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * frame);
        calculator_->Compact(room.height() - menu);
        size = calculator_->FittedSize() + QSize(0, menu);
        if (calculator_->SmallestHeight() + menu > room.height() && size.width() < room.width())
            size.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        size = size.boundedTo(room);
    }
    resize(size);
}

AppWindow::~AppWindow() {
    runner_->Stop();
}

void AppWindow::SetGeodesy(const GeodesySettings& settings) {
    geodesy_ = settings;
    calculator_->state().Projection = ProjectionFor(geodesy_);
    setWindowTitle(WindowTitleFor(geodesy_));
}

void AppWindow::Tell(QMessageBox::Icon icon, const QString& message) {
    // Above the title, as every message of the window, so that it hides none of the panels.
    ShowMessage(this, calculator_->promptBand(), icon, message);
}

void AppWindow::OpenFileDialog() {
    // Qt's own dialog, so that it behaves alike everywhere and a typed full path opens.
    QFileDialog dialog(this, QStringLiteral("打开点文件"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(PointFileFilters());
    const QString folder = ProgramSettings()->value(QStringLiteral("files/lastFolder")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    OpenFile(dialog.selectedFiles().constFirst());
}

void AppWindow::OpenFile(const QString& path) {
    if (Computing()) {
        Tell(QMessageBox::Information, QtMessage(Tr("Another file is being computed.")));
        return;
    }
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        Tell(QMessageBox::Warning,
             QtMessage(Tr("Cannot read {0}"), {QDir::toNativeSeparators(path)}));
        return;
    }
    ProgramSettings()->setValue(QStringLiteral("files/lastFolder"), info.absolutePath());
    AskAndStart(path, nullptr);
}

void AppWindow::AskAndStart(const QString& path, const FileComputeChoice* again) {
    FileComputeDialog dialog(path, geodesy_.Describe(), ProjectionOf(geodesy_), this);
    if (again != nullptr) dialog.SetChoice(*again);
    if (dialog.exec() != QDialog::Accepted) return;
    StartJob(dialog.job(), path, dialog.choice().sheet);
    asked_.emplace(path, dialog.choice());
}

void AppWindow::StartJob(const engine::Job& job, const QString& path, const QString& sheet) {
    asked_.reset();
    // The report names the surface the job computed on: 更多选项's, or else the settings'.
    GeodesySettings shown = geodesy_;
    shown.projectionHeight = job.geodesy.projectionHeight;
    auto fileJob = std::make_shared<FileJob>(job, EngineFileName(path), ProjectionFor(shown).label);
    fileJob->SetSheet(sheet.toStdString());
    runner_->Start(
        fileJob, QtMessage(Tr("Computing {0} …"), {QFileInfo(path).fileName()}),
        [this](std::shared_ptr<FileJobResult> result) { JobFinished(std::move(result)); });
}

void AppWindow::JobFinished(std::shared_ptr<FileJobResult> result) {
    if (!result) {
        // Back to the dialog, every choice as it was, for another try.
        if (asked_) {
            QTimer::singleShot(
                0, this, [this, asked = *asked_] { AskAndStart(asked.first, &asked.second); });
        }
        return;
    }
    if (!result->error.empty()) {
        Tell(QMessageBox::Warning, QString::fromStdString(result->error));
        return;
    }
    ShowResults(std::move(result), this);
}

bool AppWindow::Computing() const {
    return runner_->Running();
}

void AppWindow::EditSettings() {
    SettingsDialog dialog(geodesy_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const GeodesySettings chosen = dialog.settings();
    chosen.Save(*ProgramSettings());
    SetGeodesy(chosen);
}

void AppWindow::ShowHelp() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("使用说明"));
    auto* text = new QTextBrowser(&dialog);
    text->setHtml(QString::fromUtf8(kHelp));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(560, 520);
    dialog.exec();
}

void AppWindow::ShowAbout() {
    // Windows converts GB18030 and GBK itself; the build carries gettext's libintl instead.
    const QString converter = platform::ConvertsWithIconv()
                                  ? QStringLiteral("GNU C 库的 iconv（LGPL-2.1）")
                                  : QStringLiteral("GNU gettext 的 libintl（LGPL-2.1）");
    QMessageBox::about(this, QStringLiteral("关于 Quorvel"),
                       QStringLiteral("<h3>Quorvel %1</h3>"
                                      "<p>高斯-克吕格投影计算：大地正算、大地反算、座标换带；"
                                      "克拉索夫斯基、IAG-75、CGCS2000、WGS 84 及自定义椭球。</p>"
                                      "<p>许可：MIT 许可证。版权所有 © 2026 Quorvel 维护者。</p>"
                                      "<p>使用的库：Qt %2（LGPL-3.0），GeographicLib %3（MIT），"
                                      "%4。</p>")
                           .arg(QStringLiteral(QUORVEL_VERSION), QString::fromLatin1(qVersion()),
                                QStringLiteral(GEOGRAPHICLIB_VERSION_STRING), converter));
}

void AppWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void AppWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.front().toLocalFile();
    // Not inside the drop: the source application waits until the drop returns.
    QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
}

void AppWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (fitted_) return;
    fitted_ = true;
    QTimer::singleShot(0, this, &AppWindow::FitToScreen);
}

void AppWindow::FitToScreen() {
    // The first size was estimated from the style's metrics; Windows' frame and menu bar can be
    // a few pixels larger, and one pixel short of the layout brings up both scroll bars.
    // The layout rises by what the true frame takes beyond the estimate, before any bar shows.
    if (calculator_->MissingRoom().height() > 0) calculator_->Compact(calculator_->height());
    const QSize lack = calculator_->MissingRoom();
    const QScreen* s = screen();
    if ((lack.width() <= 0 && lack.height() <= 0) || s == nullptr) return;
    const QRect available = s->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    const QSize room = available.size() - frame;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize wanted = size() + lack.expandedTo(QSize(0, 0));
    if (wanted.height() > room.height())
        wanted.setWidth(std::max(wanted.width(), width() + lack.width() + bar));
    if (wanted.width() > room.width())
        wanted.setHeight(std::max(wanted.height(), height() + lack.height() + bar));
    wanted = wanted.boundedTo(room).expandedTo(size());
    if (wanted == size()) return;
    resize(wanted);
    const QRect outer(frameGeometry().topLeft(), wanted + frame);
    move(pos() + QPoint(std::min(0, available.right() - outer.right()),
                        std::min(0, available.bottom() - outer.bottom())));
}

void AppWindow::closeEvent(QCloseEvent* event) {
    // Closing the window ends the program, results windows included.
    runner_->Stop();
    for (ResultsWindow* results : findChildren<ResultsWindow*>(Qt::FindDirectChildrenOnly))
        results->close();
    event->accept();
}

}  // namespace quorvel
