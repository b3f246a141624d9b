#include "ui/file_compute_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "engine/projection/points.h"
#include "engine/reading/column_names.h"
#include "engine/reading/line_parser.h"
#include "engine/reading/text_io.h"
#include "engine/run/process.h"
#include "print/qt_messages.h"
#include "ui/app_window.h"
#include "ui/qt_io.h"

namespace quorvel {
namespace {

// The role box's entries, in the order of ColumnRole; the values named as the computation's.
QStringList RoleNames(Computation mode) {
    static const char* const kValues[3][2] = {
        {"经度 L", "纬度 B"}, {"纵坐标 X", "横坐标 Y"}, {"纵坐标 X1", "横坐标 Y1"}};
    const auto& v = kValues[static_cast<int>(mode) - 1];
    return {QStringLiteral("点名"), QString::fromUtf8(v[0]), QString::fromUtf8(v[1]),
            QStringLiteral("带入"), QStringLiteral("忽略")};
}

// A number typed in 更多选项 into `value`, or a refusal naming it.
std::optional<engine::JobRefusal> ReadTyped(const char* option, const QString& text,
                                            double& value) {
    const std::optional<double> v = TryParseNumber(text.trimmed().toStdString());
    if (!v) {
        return engine::Refuse(
            Fill(Tr("{0}: \"{1}\" is not a number"), {option, text.trimmed().toStdString()}));
    }
    value = *v;
    return std::nullopt;
}

// The kept choices: one group per header (or per number of columns for files without one).
QString GroupOf(const QString& key) {
    return QStringLiteral("fileCompute/") + key;
}

void SaveChoice(QSettings& s, const QString& key, const FileComputeChoice& c) {
    s.beginGroup(GroupOf(key));
    s.setValue(QStringLiteral("mode"), static_cast<int>(c.mode));
    s.setValue(QStringLiteral("lo"), c.lo);
    s.setValue(QStringLiteral("ls"), c.ls);
    s.setValue(QStringLiteral("zone"), c.zoneWidth);
    s.setValue(QStringLiteral("encoding"), c.encoding);
    s.setValue(QStringLiteral("zonePrefix"), c.zonePrefix);
    s.setValue(QStringLiteral("header"), c.header);
    QStringList roles;
    for (ColumnRole r : c.roles) roles << QString::number(static_cast<int>(r));
    s.setValue(QStringLiteral("roles"), roles.join(u','));
    s.setValue(QStringLiteral("decimalComma"), c.decimalComma);
    s.setValue(QStringLiteral("k0"), c.k0);
    s.setValue(QStringLiteral("falseEasting"), c.falseEasting);
    s.setValue(QStringLiteral("convergence"), c.convergence);
    s.setValue(QStringLiteral("scale"), c.scale);
    s.setValue(QStringLiteral("compare"), c.compare);
    s.setValue(QStringLiteral("full"), c.full);
    s.setValue(QStringLiteral("projectionHeight"), c.projectionHeight);
    s.setValue(QStringLiteral("distortion"), c.distortion);
    s.setValue(QStringLiteral("distortionLimit"), c.distortionLimit);
    s.endGroup();
}

// What was kept under `key`; values out of range (an edited file) fall back to the defaults.
std::optional<FileComputeChoice> LoadChoice(QSettings& s, const QString& key) {
    s.beginGroup(GroupOf(key));
    std::optional<FileComputeChoice> kept;
    if (s.contains(QStringLiteral("mode"))) {
        FileComputeChoice& c = kept.emplace();
        const int mode = s.value(QStringLiteral("mode")).toInt();
        if (mode >= 1 && mode <= 3) c.mode = static_cast<Computation>(mode);
        c.lo = s.value(QStringLiteral("lo")).toString();
        c.ls = s.value(QStringLiteral("ls")).toString();
        const int zone = s.value(QStringLiteral("zone")).toInt();
        c.zoneWidth = zone == 3 || zone == 6 ? zone : 0;
        const QString encoding = s.value(QStringLiteral("encoding")).toString();
        if (encoding == u"gb18030" || encoding == u"gbk") c.encoding = encoding;
        c.zonePrefix = s.value(QStringLiteral("zonePrefix")).toBool();
        c.header = s.value(QStringLiteral("header")).toBool();
        for (const QString& r :
             s.value(QStringLiteral("roles")).toString().split(u',', Qt::SkipEmptyParts)) {
            const int role = r.toInt();
            c.roles.push_back(role >= 0 && role <= 4 ? static_cast<ColumnRole>(role)
                                                     : ColumnRole::Pass);
        }
        c.decimalComma = s.value(QStringLiteral("decimalComma")).toBool();
        c.k0 = s.value(QStringLiteral("k0")).toString();
        c.falseEasting = s.value(QStringLiteral("falseEasting")).toString();
        c.convergence = s.value(QStringLiteral("convergence")).toBool();
        c.scale = s.value(QStringLiteral("scale")).toBool();
        c.compare = s.value(QStringLiteral("compare")).toBool();
        c.full = s.value(QStringLiteral("full")).toBool();
        c.projectionHeight = s.value(QStringLiteral("projectionHeight")).toString();
        c.distortion = s.value(QStringLiteral("distortion")).toBool();
        c.distortionLimit = s.value(QStringLiteral("distortionLimit")).toString();
    }
    s.endGroup();
    return kept;
}

// Whether the header names column `i` as a value of any computation: X, Y, L or B.
bool ValueColumn(const std::vector<QString>& names, std::size_t i) {
    if (i >= names.size()) return false;
    const engine::ColumnKind k = engine::ReadColumnName(names[i].toStdString()).kind;
    return k == engine::ColumnKind::X || k == engine::ColumnKind::Y || k == engine::ColumnKind::L ||
           k == engine::ColumnKind::B;
}

// Two ticks side by side on the left of their row.
QHBoxLayout* LeftAligned(QWidget* first, QWidget* second) {
    auto* row = new QHBoxLayout;
    row->addWidget(first);
    row->addWidget(second);
    row->addStretch(1);
    return row;
}

}  // namespace

std::vector<ColumnRole> DefaultRoles(std::size_t columns) {
    std::vector<ColumnRole> roles(std::max(columns, engine::kPointFields), ColumnRole::Pass);
    roles[0] = ColumnRole::Name;
    roles[1] = ColumnRole::First;
    roles[2] = ColumnRole::Second;
    return roles;
}

std::optional<std::vector<ColumnRole>> RolesFromNames(const std::vector<QString>& names,
                                                      Computation mode) {
    std::vector<std::string> texts;
    for (const QString& n : names) texts.push_back(n.toStdString());
    const std::optional<std::vector<std::size_t>> columns =
        engine::ColumnsOfNames(engine::ReadColumnNames(texts), engine::ValueNames(mode));
    if (!columns) return std::nullopt;
    std::vector<ColumnRole> roles(std::max(names.size(), engine::kPointFields), ColumnRole::Pass);
    for (std::size_t k = 0; k < 3; ++k) roles[(*columns)[k]] = static_cast<ColumnRole>(k);
    return roles;
}

std::optional<RoleFields> FieldsOfRoles(const std::vector<ColumnRole>& roles) {
    RoleFields f;
    std::array<int, 3> count{};
    for (std::size_t i = 0; i < roles.size(); ++i) {
        const auto k = static_cast<std::size_t>(roles[i]);
        if (roles[i] == ColumnRole::Drop) {
            f.dropped.push_back(i);
        } else if (k < 3) {
            f.fields[k] = i;
            ++count[k];
        }
    }
    if (count != std::array<int, 3>{1, 1, 1}) return std::nullopt;
    return f;
}

std::optional<engine::JobRefusal> MakeJob(const FileComputeChoice& c,
                                          const engine::Geodesy& projection, engine::Job& job) {
    job = {};
    job.mode = c.mode;
    job.geodesy = projection;
    if (c.zoneWidth == 3) job.geodesy.zone = ZoneWidth::Three;
    if (c.zoneWidth == 6) job.geodesy.zone = ZoneWidth::Six;
    job.geodesy.zonePrefix = c.zonePrefix;
    if (!c.k0.trimmed().isEmpty()) {
        if (auto r = ReadTyped("--k0", c.k0, job.geodesy.k0)) return r;
    }
    if (!c.falseEasting.trimmed().isEmpty()) {
        if (auto r = ReadTyped("--false-easting", c.falseEasting, job.geodesy.falseEasting))
            return r;
    }
    job.geodesy.convergence = c.convergence;
    job.geodesy.scale = c.scale;
    job.geodesy.compare = c.compare;
    if (!c.projectionHeight.trimmed().isEmpty()) {
        if (auto r =
                ReadTyped("--projection-height", c.projectionHeight, job.geodesy.projectionHeight))
            return r;
    }
    job.geodesy.distortion = c.distortion;
    if (c.distortion && !c.distortionLimit.trimmed().isEmpty()) {
        if (auto r =
                ReadTyped("--distortion-limit", c.distortionLimit, job.geodesy.distortionLimit))
            return r;
    }
    // The heights come from the column the header names H or 高程, as quorvel-batch finds it.
    if (c.distortion && !c.header) {
        return engine::Refuse(
            Tr("the length distortion takes each point's height from the column the header "
               "names H or 高程: tick 首行为表头"));
    }
    std::optional<std::string> lo, ls;
    if (!job.geodesy.zone) lo = c.lo.trimmed().toStdString();
    // With zones, a zone change without Ls takes each point into the zone of its longitude.
    if (c.mode == Computation::Zone && (c.zoneWidth == 0 || !c.ls.trimmed().isEmpty())) {
        ls = c.ls.trimmed().toStdString();
    }
    std::vector<engine::Diagnostic> warnings;
    if (auto r = engine::SetMeridians(job, lo, ls, warnings)) return r;
    if (!c.roles.empty()) {
        const std::optional<RoleFields> f = FieldsOfRoles(c.roles);
        if (!f) return engine::Refuse(Tr("choose one column each for the name and the two values"));
        job.fields = f->fields;
        job.dropped = f->dropped;
    }
    if (!c.encoding.isEmpty()) {
        if (auto r = engine::ReadEncoding(c.encoding.toStdString(), job.encoding)) return r;
    }
    job.decimalComma = c.decimalComma;
    job.header = c.header;
    job.full = c.full;
    job.bom = true;  // the CSV kept is then the CSV exported, mark and all
    return engine::CheckJob(job);
}

QString CheckMeridian(const QString& label, const QString& text) {
    const std::string typed = text.trimmed().toStdString();
    if (typed.empty()) {
        return QtMessage(Tr("{0}: type a number (degrees.minutes-seconds, as 117 or 117.30)"),
                         {label});
    }
    const std::optional<double> v = TryParseNumber(typed);
    if (!v) return QtMessage(Tr("{0}: \"{1}\" is not a number"), {label, text.trimmed()});
    if (!(std::abs(*v) <= 360))
        return QtMessage(Tr("{0}: \"{1}\" is beyond -360° to 360°"), {label, text.trimmed()});
    return {};
}

FileComputeDialog::FileComputeDialog(const QString& path, const QString& settingsText,
                                     const engine::Geodesy& projection, QWidget* parent)
    : QDialog(parent),
      path_(path),
      projection_(projection),
      preview_(new QTableWidget(this)),
      rolesLabel_(new QLabel(QStringLiteral("各列用途(&C)："), this)),
      fields_(new QLabel(this)),
      type_(new QComboBox(this)),
      lo_(new QLineEdit(this)),
      zone_(new QComboBox(this)),
      ls_(new QLineEdit(this)),
      encoding_(new QComboBox(this)),
      sheet_(new QComboBox(this)),
      sheetLabel_(new QLabel(QStringLiteral("工作表(&W)"), this)),
      prefix_(new QCheckBox(QStringLiteral("Y 值前带带号(&Z)"), this)),
      header_(new QCheckBox(QStringLiteral("首行为表头(&H)"), this)),
      more_(new QToolButton(this)),
      moreBox_(new QWidget(this)),
      decimalComma_(new QCheckBox(QStringLiteral("小数点是逗号，如 116,3045(&D)"), moreBox_)),
      k0_(new QLineEdit(moreBox_)),
      falseEasting_(new QLineEdit(moreBox_)),
      convergence_(new QCheckBox(QStringLiteral("加子午线收敛角 γ 列"), moreBox_)),
      scale_(new QCheckBox(QStringLiteral("加长度比 k 列"), moreBox_)),
      compare_(new QCheckBox(QStringLiteral("加与精确算法之差 (毫米) 列"), moreBox_)),
      full_(new QCheckBox(QStringLiteral("结果全精度，不舍入"), moreBox_)),
      projectionHeight_(new QLineEdit(moreBox_)),
      distortion_(new QCheckBox(
          QStringLiteral("加长度变形 (厘米/千米) 列，高程取表头为 H 或 高程 的列"), moreBox_)),
      distortionLimit_(new QLineEdit(moreBox_)),
      compute_(nullptr),
      cancel_(nullptr) {
    setWindowTitle(QStringLiteral("从文件计算"));
    FillChoices();
    LayOut(settingsText);
    const FileComputeChoice start = StartingChoice();
    ConnectControls();
    SetChoice(start);
    type_->setFocus();
    FitToScreen();
}

void FileComputeDialog::FillChoices() {
    type_->addItems(
        {QStringLiteral("大地正算"), QStringLiteral("大地反算"), QStringLiteral("座标换带")});
    zone_->addItems(
        {QStringLiteral("按输入的 Lo"), QStringLiteral("3° 带"), QStringLiteral("6° 带")});
    encoding_->addItem(QStringLiteral("UTF-8"), QString());
    sheetLabel_->setBuddy(sheet_);
    // A workbook carries its own encoding: the box is for text.
    workbook_ = FillSheetBox(*sheet_, *sheetLabel_, path_);
    encoding_->setEnabled(!workbook_);
    encoding_->addItem(QStringLiteral("GB18030"), QStringLiteral("gb18030"));
    encoding_->addItem(QStringLiteral("GBK"), QStringLiteral("gbk"));
    lo_->setPlaceholderText(QStringLiteral("度.分秒，如 117"));
    k0_->setPlaceholderText(QStringLiteral("1"));
    falseEasting_->setPlaceholderText(QStringLiteral("500000"));
    projectionHeight_->setPlaceholderText(QStringLiteral("0"));
    projectionHeight_->setToolTip(
        QStringLiteral("抵偿投影面：椭球长半轴加大到 a + H0、扁率不变后投影；0 即参考椭球面"));
    distortionLimit_->setPlaceholderText(QStringLiteral("2.5"));
}

void FileComputeDialog::LayOut(const QString& settingsText) {
    preview_->setMinimumHeight(170);
    QFormLayout* form = BuildForm();
    BuildMore();
    auto* settings = new QLabel(QStringLiteral("椭球与算法：") + settingsText, this);
    QHBoxLayout* buttons = BuildButtons();

    // The file's lines and the choices scroll on a small screen (更多选项 open); the settings
    // and 计算/取消 stay in sight below them.
    QWidget* body = RolePreviewBody(*this, path_, rolesLabel_, preview_, fields_, form);
    auto* bodyLayout = static_cast<QVBoxLayout*>(body->layout());
    bodyLayout->addWidget(more_, 0, Qt::AlignLeft);
    bodyLayout->addWidget(moreBox_);
    scroll_ = ScrollingBody(this, body);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addWidget(settings);
    layout->addLayout(buttons);
}

QFormLayout* FileComputeDialog::BuildForm() {
    auto* meridian = new QHBoxLayout;
    meridian->addWidget(lo_, 1);
    meridian->addWidget(zone_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("计算类型(&T)"), type_);
    auto* loLabel = new QLabel(QStringLiteral("中央子午线 Lo(&L)"), this);
    loLabel->setBuddy(lo_);
    form->addRow(loLabel, meridian);
    form->addRow(QStringLiteral("换带后 Ls(&S)"), ls_);
    form->addRow(sheetLabel_, sheet_);
    form->addRow(QStringLiteral("编码(&E)"), encoding_);
    form->addRow(QString(), LeftAligned(prefix_, header_));
    return form;
}

void FileComputeDialog::BuildMore() {
    more_->setText(QStringLiteral("更多选项(&M)"));
    more_->setCheckable(true);
    more_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    more_->setAutoRaise(true);
    auto* moreForm = new QFormLayout(moreBox_);
    moreForm->setContentsMargins(16, 0, 0, 0);
    moreForm->addRow(QString(), decimalComma_);
    moreForm->addRow(QStringLiteral("中央子午线比例因子 k0"), k0_);
    moreForm->addRow(QStringLiteral("东偏 (米)"), falseEasting_);
    moreForm->addRow(QString(), LeftAligned(convergence_, scale_));
    moreForm->addRow(QString(), compare_);
    moreForm->addRow(QStringLiteral("投影面高程 H0 (米)"), projectionHeight_);
    moreForm->addRow(QString(), distortion_);
    moreForm->addRow(QStringLiteral("变形限值 (厘米/千米)"), distortionLimit_);
    moreForm->addRow(QString(), full_);
    // The comparison is the classic series' against the exact method.
    compare_->setEnabled(projection_.method == Method::Classic);
    ShowMore(false);
}

QHBoxLayout* FileComputeDialog::BuildButtons() {
    // Plain buttons: a QDialogButtonBox would take the focus for its first button, so that Tab
    // from the last one came back to it instead of going round the dialog.
    auto* buttons = new QHBoxLayout;
    compute_ = new QPushButton(QStringLiteral("计算"), this);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    compute_->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(compute_);
    buttons->addWidget(cancel_);
    connect(compute_, &QPushButton::clicked, this, &FileComputeDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &FileComputeDialog::reject);
    return buttons;
}

FileComputeChoice FileComputeDialog::StartingChoice() {
    // What the file suggests: its encoding, whether its first line names the columns, the
    // computation those names are for and the roles they give it; then what was chosen last
    // for a file with that header.
    FileComputeChoice start;
    start.encoding = SniffedEncoding(path_);
    const std::vector<PreviewLine> lines = PreviewFile(path_, start.encoding, false, 12, Sheet());
    const std::size_t count = ColumnCount(lines);
    const std::vector<QString> names = HeaderNames(lines, true);
    std::vector<std::string> texts;
    for (const QString& n : names) texts.push_back(n.toStdString());
    start.mode =
        engine::ComputationOfColumns(engine::ReadColumnNames(texts)).value_or(Computation::Forward);
    const std::optional<std::vector<ColumnRole>> named = RolesFromNames(names, start.mode);
    const RoleFields f = *FieldsOfRoles(named.value_or(DefaultRoles(count)));
    start.header = LooksLikeHeader(lines, {f.fields.begin(), f.fields.end()}, false);
    start.roles = start.header && named ? *named : DefaultRoles(count);
    start.roles.resize(std::max(count, start.roles.size()), ColumnRole::Pass);
    key_ = HeaderKey(lines, start.header, count);
    if (const std::optional<FileComputeChoice> kept = LoadChoice(*ProgramSettings(), key_)) {
        start = *kept;
    }
    return start;
}

void FileComputeDialog::ConnectControls() {
    connect(type_, &QComboBox::currentIndexChanged, this, &FileComputeDialog::ModeChanged);
    connect(zone_, &QComboBox::currentIndexChanged, this, &FileComputeDialog::Refresh);
    const auto reread = [this] {
        ReadPreview();
        ShowPreview();
    };
    connect(encoding_, &QComboBox::currentIndexChanged, this, reread);
    connect(sheet_, &QComboBox::currentIndexChanged, this, [this] {
        // Another sheet may or may not start with a header.
        ReadPreview();
        if (const std::optional<RoleFields> f = FieldsOfRoles(roles_)) {
            header_->setChecked(LooksLikeHeader(lines_, {f->fields.begin(), f->fields.end()},
                                                decimalComma_->isChecked()));
        }
        ShowPreview();
    });
    connect(decimalComma_, &QCheckBox::toggled, this, reread);
    connect(header_, &QCheckBox::toggled, this, &FileComputeDialog::ShowPreview);
    connect(more_, &QToolButton::toggled, this, &FileComputeDialog::ShowMore);
}

void FileComputeDialog::FitToScreen() {
    ResizeWithinScreen(*this, QSize(680, 600));
}

QString FileComputeDialog::Encoding() const {
    return workbook_ ? QString() : encoding_->currentData().toString();
}

QString FileComputeDialog::Sheet() const {
    return workbook_ ? sheet_->currentText() : QString();
}

void FileComputeDialog::SetChoice(const FileComputeChoice& c) {
    const QSignalBlocker blocks[] = {QSignalBlocker(type_),     QSignalBlocker(zone_),
                                     QSignalBlocker(encoding_), QSignalBlocker(sheet_),
                                     QSignalBlocker(header_),   QSignalBlocker(decimalComma_)};
    type_->setCurrentIndex(static_cast<int>(c.mode) - 1);
    lo_->setText(c.lo);
    ls_->setText(c.ls);
    zone_->setCurrentIndex(c.zoneWidth == 3 ? 1 : c.zoneWidth == 6 ? 2 : 0);
    encoding_->setCurrentIndex(workbook_ ? 0 : std::max(0, encoding_->findData(c.encoding)));
    if (const int sheet = sheet_->findText(c.sheet); sheet >= 0) sheet_->setCurrentIndex(sheet);
    header_->setChecked(c.header);
    decimalComma_->setChecked(c.decimalComma);
    k0_->setText(c.k0);
    falseEasting_->setText(c.falseEasting);
    convergence_->setChecked(c.convergence);
    scale_->setChecked(c.scale);
    compare_->setChecked(c.compare && compare_->isEnabled());
    full_->setChecked(c.full);
    projectionHeight_->setText(c.projectionHeight);
    distortion_->setChecked(c.distortion);
    distortionLimit_->setText(c.distortionLimit);
    roles_ = c.roles;
    ReadPreview();
    Refresh();
    prefix_->setChecked(c.zonePrefix && prefix_->isEnabled());
    // Closed, but saying that it holds choices.
    const int changed = c.decimalComma + !c.k0.trimmed().isEmpty() +
                        !c.falseEasting.trimmed().isEmpty() + c.convergence + c.scale + c.compare +
                        c.full + !c.projectionHeight.trimmed().isEmpty() + c.distortion;
    more_->setText(changed > 0 ? QStringLiteral("更多选项(&M)（已选 %1 项）").arg(changed)
                               : QStringLiteral("更多选项(&M)"));
}

void FileComputeDialog::Refresh() {
    const bool zones = zone_->currentIndex() != 0;
    ls_->setEnabled(type_->currentIndex() == 2);
    ls_->setPlaceholderText(zones ? QStringLiteral("留空：各点换到其经度所在的带")
                                  : QStringLiteral("度.分秒，如 120"));
    lo_->setEnabled(!zones);
    // The zone number in front of Y comes with the zones.
    prefix_->setEnabled(zones);
    if (!prefix_->isEnabled()) prefix_->setChecked(false);
    ShowPreview();
}

void FileComputeDialog::ReadPreview() {
    lines_ = PreviewFile(path_, Encoding(), decimalComma_->isChecked(), 12, Sheet());
    const std::size_t count = ColumnCount(lines_);
    if (roles_.empty()) roles_ = DefaultRoles(count);
    // A column that has a role keeps it; new ones are passed through.
    while (roles_.size() > count && roles_.back() == ColumnRole::Pass) roles_.pop_back();
    roles_.resize(std::max(count, roles_.size()), ColumnRole::Pass);
}

void FileComputeDialog::ModeChanged() {
    // The values of one computation are no values of another: X and Y are not L and B.
    const auto mode = static_cast<Computation>(type_->currentIndex() + 1);
    const std::vector<QString> names = HeaderNames(lines_, header_->isChecked());
    if (!names.empty()) {
        const std::optional<std::vector<ColumnRole>> named = RolesFromNames(names, mode);
        for (std::size_t i = 0; i < roles_.size(); ++i) {
            const bool value = roles_[i] == ColumnRole::First || roles_[i] == ColumnRole::Second;
            const bool namedValue =
                named && i < named->size() &&
                ((*named)[i] == ColumnRole::First || (*named)[i] == ColumnRole::Second);
            if (namedValue) {
                roles_[i] = (*named)[i];
            } else if (value && (named || ValueColumn(names, i))) {
                roles_[i] = ColumnRole::Pass;
            }
        }
    }
    Refresh();
}

QString FileComputeDialog::RolesHint() const {
    const QStringList names = RoleNames(static_cast<Computation>(type_->currentIndex() + 1));
    QString hint = QStringLiteral("请为%1、%2、%3各选一列。").arg(names[0], names[1], names[2]);
    std::vector<std::string> texts;
    for (const QString& n : HeaderNames(lines_, header_->isChecked()))
        texts.push_back(n.toStdString());
    const std::optional<Computation> named =
        engine::ComputationOfColumns(engine::ReadColumnNames(texts));
    const auto mode = static_cast<Computation>(type_->currentIndex() + 1);
    if (named == Computation::Inverse && mode == Computation::Forward) {
        hint += QStringLiteral(
            "表头的 X、Y 是平面坐标：大地正算要经度 L、纬度 B，"
            "算平面坐标请选大地反算或座标换带。");
    } else if (named == Computation::Forward && mode != Computation::Forward) {
        hint += QStringLiteral(
                    "表头的 L、B 是经纬度：%1要纵坐标 X、横坐标 Y，"
                    "算经纬度请选大地正算。")
                    .arg(type_->currentText());
    }
    return hint;
}

void FileComputeDialog::ShowPreview() {
    const auto mode = static_cast<Computation>(type_->currentIndex() + 1);
    std::vector<int> roles;
    for (ColumnRole r : roles_) roles.push_back(static_cast<int>(r));
    roleBoxes_ = ShowRolePreview(*preview_, lines_, header_->isChecked(), RoleNames(mode), roles,
                                 [this](std::size_t i, int role) {
                                     roles_[i] = static_cast<ColumnRole>(role);
                                     RolesChanged();
                                 });
    rolesLabel_->setBuddy(roleBoxes_.front());
    RolesChanged();
    OrderTabs();
}

void FileComputeDialog::RolesChanged() {
    const std::optional<RoleFields> f = FieldsOfRoles(roles_);
    const bool comma = decimalComma_->isChecked();
    ShowLineProblems(
        *preview_, lines_, header_->isChecked(),
        [&](const PreviewLine& p) {
            return f ? PreviewProblem(p, {f->fields.begin(), f->fields.end()}, comma) : QString();
        },
        [this](std::size_t i) { return i < roles_.size() && roles_[i] == ColumnRole::Drop; });
    const QStringList names = RoleNames(static_cast<Computation>(type_->currentIndex() + 1));
    if (!f) {
        fields_->setText(QStringLiteral("<span style='color:#c00000'>%1</span>").arg(RolesHint()));
        return;
    }
    QStringList parts;
    for (std::size_t k = 0; k < 3; ++k)
        parts
            << QStringLiteral("%1：第 %2 列").arg(names[static_cast<int>(k)]).arg(f->fields[k] + 1);
    if (!f->dropped.empty()) {
        QStringList dropped;
        for (std::size_t d : f->dropped) dropped << QString::number(d + 1);
        parts << QStringLiteral("忽略第 %1 列").arg(dropped.join(QStringLiteral("、")));
    }
    fields_->setText(parts.join(QStringLiteral("；")));
}

void FileComputeDialog::ShowMore(bool shown) {
    moreBox_->setVisible(shown);
    more_->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
    // The options opened come into sight once the layout has room for them.
    if (shown && scroll_ != nullptr)
        QTimer::singleShot(0, this, [this] { scroll_->ensureWidgetVisible(moreBox_); });
}

void FileComputeDialog::OrderTabs() {
    std::vector<QWidget*> order{type_, lo_, zone_, ls_, sheet_, encoding_, prefix_, header_};
    order.insert(order.end(), roleBoxes_.begin(), roleBoxes_.end());
    order.insert(order.end(),
                 {more_, decimalComma_, k0_, falseEasting_, convergence_, scale_, compare_,
                  projectionHeight_, distortion_, distortionLimit_, full_, compute_, cancel_});
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

FileComputeChoice FileComputeDialog::choice() const {
    FileComputeChoice c;
    c.mode = static_cast<Computation>(type_->currentIndex() + 1);
    c.lo = lo_->text();
    c.ls = ls_->text();
    c.zoneWidth = zone_->currentIndex() == 1 ? 3 : zone_->currentIndex() == 2 ? 6 : 0;
    c.encoding = Encoding();
    c.sheet = Sheet();
    c.zonePrefix = prefix_->isChecked();
    c.header = header_->isChecked();
    c.roles = roles_;
    c.decimalComma = decimalComma_->isChecked();
    c.k0 = k0_->text();
    c.falseEasting = falseEasting_->text();
    c.convergence = convergence_->isChecked();
    c.scale = scale_->isChecked();
    c.compare = compare_->isChecked();
    c.full = full_->isChecked();
    c.projectionHeight = projectionHeight_->text();
    c.distortion = distortion_->isChecked();
    c.distortionLimit = distortionLimit_->text();
    return c;
}

void FileComputeDialog::accept() {
    const FileComputeChoice c = choice();
    // Refused where it was typed: the message, then the focus on the control to mend.
    auto refuse = [this](const QString& message, QWidget* control) {
        QMessageBox::warning(this, windowTitle(), message);
        if (control->parentWidget() == moreBox_) more_->setChecked(true);
        control->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    };
    struct Check {
        bool wanted;
        QString label;
        QLineEdit* edit;
    };
    const Check checks[] = {
        {c.zoneWidth == 0,
         QtMessage(c.mode == Computation::Zone ? Tr("central meridian Lo before the change")
                                               : Tr("central meridian Lo")),
         lo_},
        {c.mode == Computation::Zone && (c.zoneWidth == 0 || !c.ls.trimmed().isEmpty()),
         QtMessage(Tr("central meridian Ls after the change")), ls_},
    };
    for (const Check& check : checks) {
        if (!check.wanted) continue;
        const QString problem = CheckMeridian(check.label, check.edit->text());
        if (problem.isEmpty()) continue;
        return refuse(problem, check.edit);
    }
    if (!FieldsOfRoles(c.roles)) {
        return refuse(QtMessage(Tr("choose one column each for the name and the two values")),
                      roleBoxes_.front());
    }
    for (QLineEdit* edit : {k0_, falseEasting_, projectionHeight_, distortionLimit_}) {
        const QString text = edit->text().trimmed();
        if (text.isEmpty() || TryParseNumber(text.toStdString())) continue;
        const QString label = edit == k0_                 ? QStringLiteral("k0")
                              : edit == falseEasting_     ? QStringLiteral("东偏")
                              : edit == projectionHeight_ ? QStringLiteral("投影面高程")
                                                          : QStringLiteral("变形限值");
        return refuse(QtMessage(Tr("{0}: \"{1}\" is not a number"), {label, text}), edit);
    }
    engine::Job job;
    if (const std::optional<engine::JobRefusal> r = MakeJob(c, projection_, job)) {
        return refuse(QString::fromStdString(r->words), type_);
    }
    job_ = job;
    auto settings = ProgramSettings();
    SaveChoice(*settings, key_, c);
    QDialog::accept();
}

}  // namespace quorvel
