#include "ui/file_compute_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "engine/line_parser.h"
#include "engine/options.h"
#include "engine/points.h"
#include "engine/text_io.h"
#include "print/qt_messages.h"

namespace quorvel {
namespace {

// Text in another encoding as UTF-8, converted as quorvel-batch converts its input.
std::string Decoded(std::string raw, const std::string& encoding) {
    engine::StringSource source(std::move(raw));
    engine::DecodingSource decoding(source, encoding);
    std::string text;
    char buffer[1 << 14];
    while (const std::size_t got = decoding.Read(buffer, sizeof buffer)) text.append(buffer, got);
    return text;
}

QString Utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

engine::Job JobFor(const FileComputeChoice& c, const engine::Geodesy& projection) {
    engine::Job job;
    job.mode = c.mode;
    job.geodesy = projection;
    if (c.zoneWidth == 3) job.geodesy.zone = ZoneWidth::Three;
    if (c.zoneWidth == 6) job.geodesy.zone = ZoneWidth::Six;
    job.geodesy.zonePrefix = c.zonePrefix;
    std::optional<std::string> lo, ls;
    if (!job.geodesy.zone) lo = c.lo.trimmed().toStdString();
    // With zones, a zone change without Ls takes each point into the zone of its longitude.
    if (c.mode == Computation::Zone && (c.zoneWidth == 0 || !c.ls.trimmed().isEmpty())) {
        ls = c.ls.trimmed().toStdString();
    }
    std::vector<engine::Diagnostic> warnings;
    engine::SetMeridians(job, lo, ls, warnings);
    if (c.gb18030) job.encoding = engine::ReadEncoding("gb18030");
    job.header = c.header;
    job.bom = true;  // the CSV kept is then the CSV exported, mark and all
    engine::CheckJob(job);
    return job;
}

QString CheckMeridian(const QString& label, const QString& text) {
    const std::string typed = text.trimmed().toStdString();
    if (typed.empty()) {
        return QtMessage(Tr("{0}: type a number (degrees.minutes-seconds, as 117 or 117.30)"),
                         {label});
    }
    const std::optional<double> v = TryParseNumber(typed);
    if (!v) return QtMessage(Tr("{0}: “{1}” is not a number"), {label, text.trimmed()});
    if (!(std::abs(*v) <= 360))
        return QtMessage(Tr("{0}: “{1}” is beyond -360° to 360°"), {label, text.trimmed()});
    return {};
}

bool LooksLikeGb18030(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    std::string text = file.read(64 * 1024).toStdString();
    // A character cut by the read is no evidence either way.
    if (file.size() > static_cast<qint64>(text.size())) text.resize(text.rfind('\n') + 1);
    if (engine::FindInvalidUtf8(text) == std::string::npos) return false;
    return engine::FindInvalidUtf8(Decoded(std::move(text), "gb18030")) == std::string::npos;
}

std::vector<PreviewLine> PreviewFile(const QString& path, bool gb18030, int maxLines) {
    std::vector<PreviewLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return lines;
    std::string text = file.read(64 * 1024).toStdString();
    if (gb18030) text = Decoded(std::move(text), "gb18030");
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    engine::ParsedLine parsed;
    std::size_t number = 0;
    std::size_t at = 0;
    while (at < text.size() && static_cast<int>(lines.size()) < maxLines) {
        std::size_t lf = text.find('\n', at);
        if (lf == std::string::npos) {
            if (file.size() > static_cast<qint64>(text.size())) break;  // cut by the read
            lf = text.size();
        }
        const std::string_view line(text.data() + at, lf - at);
        at = lf + 1;
        ++number;
        engine::ParseLine(line, parsed);
        if (parsed.status == engine::LineStatus::Skip) continue;
        PreviewLine& p = lines.emplace_back();
        p.line = number;
        switch (parsed.status) {
            case engine::LineStatus::InvalidUtf8:
                p.problem = gb18030 ? QtMessage(Tr("not {0} text"), {QStringLiteral("GB18030")})
                                    : QtMessage(Tr("not UTF-8 text: choose the GB18030 encoding"));
                continue;
            case engine::LineStatus::UnclosedQuote:
            case engine::LineStatus::TextAfterQuote:
            case engine::LineStatus::QuoteInUnquoted:
                p.problem = QtMessage(Tr("unmatched quotes"));
                continue;
            case engine::LineStatus::Fields:
            case engine::LineStatus::Skip:
                break;
        }
        const std::size_t kept = std::min(parsed.count, parsed.fields.size());
        for (std::size_t i = 0; i < kept; ++i) p.fields.push_back(Utf8(parsed.fields[i]));
        if (parsed.count < engine::kPointFields) {
            p.problem = QtMessage(TrN("only {0} field", "only {0} fields", parsed.count),
                                  {QString::number(parsed.count)});
        } else if (!TryParseNumber(parsed.fields[1]) || !TryParseNumber(parsed.fields[2])) {
            p.problem = QtMessage(Tr("not a number"));
        } else if (parsed.count > kept) {
            p.problem = QtMessage(TrN("{0} more field", "{0} more fields", parsed.count - kept),
                                  {QString::number(parsed.count - kept)});
        }
    }
    return lines;
}

FileComputeDialog::FileComputeDialog(const QString& path, const QString& settingsText,
                                     QWidget* parent)
    : QDialog(parent),
      path_(path),
      preview_(new QTableWidget(this)),
      type_(new QComboBox(this)),
      lo_(new QLineEdit(this)),
      zone_(new QComboBox(this)),
      ls_(new QLineEdit(this)),
      encoding_(new QComboBox(this)),
      prefix_(new QCheckBox(QStringLiteral("Y 值前带带号(&Z)"), this)),
      header_(new QCheckBox(QStringLiteral("首行为表头(&H)"), this)),
      compute_(nullptr) {
    setWindowTitle(QStringLiteral("从文件计算"));
    type_->addItems(
        {QStringLiteral("大地正算"), QStringLiteral("大地反算"), QStringLiteral("座标换带")});
    zone_->addItems(
        {QStringLiteral("按输入的 Lo"), QStringLiteral("3° 带"), QStringLiteral("6° 带")});
    encoding_->addItems({QStringLiteral("UTF-8"), QStringLiteral("GB18030")});
    lo_->setPlaceholderText(QStringLiteral("度.分秒，如 117"));

    auto* file = new QLabel(QStringLiteral("文件：") + QDir::toNativeSeparators(path), this);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setWordWrap(true);
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setFocusPolicy(Qt::NoFocus);
    preview_->verticalHeader()->setVisible(false);
    preview_->verticalHeader()->setDefaultSectionSize(preview_->fontMetrics().height() + 6);
    preview_->setMinimumHeight(200);

    auto* meridian = new QHBoxLayout;
    meridian->addWidget(lo_, 1);
    meridian->addWidget(zone_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("计算类型(&T)"), type_);
    auto* loLabel = new QLabel(QStringLiteral("中央子午线 Lo(&L)"), this);
    loLabel->setBuddy(lo_);
    form->addRow(loLabel, meridian);
    form->addRow(QStringLiteral("换带后 Ls(&S)"), ls_);
    form->addRow(QStringLiteral("编码(&E)"), encoding_);
    form->addRow(QString(), prefix_);
    form->addRow(QString(), header_);
    auto* settings = new QLabel(QStringLiteral("椭球与算法：") + settingsText, this);

    auto* buttons = new QDialogButtonBox(this);
    compute_ = buttons->addButton(QStringLiteral("计算"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    compute_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &FileComputeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FileComputeDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file);
    layout->addWidget(preview_, 1);
    layout->addLayout(form);
    layout->addWidget(settings);
    layout->addWidget(buttons);

    QWidget* order[] = {type_, lo_, zone_, ls_, encoding_, prefix_, header_, compute_, cancel};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // Excel's CSV on Chinese Windows: chosen in the box, where the user sees and may change it.
    if (LooksLikeGb18030(path_)) encoding_->setCurrentIndex(1);
    connect(type_, &QComboBox::currentIndexChanged, this, &FileComputeDialog::Refresh);
    connect(zone_, &QComboBox::currentIndexChanged, this, &FileComputeDialog::Refresh);
    connect(encoding_, &QComboBox::currentIndexChanged, this, &FileComputeDialog::ShowPreview);
    Refresh();
    type_->setFocus();
    resize(620, 520);
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

void FileComputeDialog::ShowPreview() {
    const auto mode = static_cast<Computation>(type_->currentIndex() + 1);
    const auto& header = engine::ColumnsOf(mode).header;
    const std::vector<PreviewLine> lines = PreviewFile(path_, encoding_->currentIndex() == 1);
    std::size_t columns = 3;
    for (const PreviewLine& p : lines) columns = std::max(columns, p.fields.size());
    QStringList names{QStringLiteral("行"), QStringLiteral("点名"), Utf8(header[1]),
                      Utf8(header[2])};
    for (std::size_t i = 3; i < columns; ++i) names << QStringLiteral("字段 %1").arg(i + 1);
    names << QStringLiteral("说明");
    preview_->clear();
    preview_->setColumnCount(static_cast<int>(names.size()));
    preview_->setHorizontalHeaderLabels(names);
    preview_->setRowCount(static_cast<int>(lines.size()));
    for (int r = 0; r < static_cast<int>(lines.size()); ++r) {
        const PreviewLine& p = lines[static_cast<std::size_t>(r)];
        preview_->setItem(r, 0, new QTableWidgetItem(QString::number(p.line)));
        for (std::size_t i = 0; i < p.fields.size(); ++i)
            preview_->setItem(r, static_cast<int>(i) + 1, new QTableWidgetItem(p.fields[i]));
        preview_->setItem(r, static_cast<int>(names.size()) - 1, new QTableWidgetItem(p.problem));
    }
    preview_->resizeColumnsToContents();
    // A first line whose values are words and a second that reads as a point: a header. The
    // guess is shown in the box and made once, so the user's own choice stands.
    if (!headerGuessed_ && lines.size() >= 2) {
        headerGuessed_ = true;
        header_->setChecked(lines[0].problem == QtMessage(Tr("not a number")) &&
                            lines[1].problem.isEmpty());
    }
}

FileComputeChoice FileComputeDialog::choice() const {
    FileComputeChoice c;
    c.mode = static_cast<Computation>(type_->currentIndex() + 1);
    c.lo = lo_->text();
    c.ls = ls_->text();
    c.zoneWidth = zone_->currentIndex() == 1 ? 3 : zone_->currentIndex() == 2 ? 6 : 0;
    c.gb18030 = encoding_->currentIndex() == 1;
    c.zonePrefix = prefix_->isChecked();
    c.header = header_->isChecked();
    return c;
}

void FileComputeDialog::accept() {
    const FileComputeChoice c = choice();
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
        QMessageBox::warning(this, windowTitle(), problem);
        check.edit->setFocus();
        check.edit->selectAll();
        return;
    }
    QDialog::accept();
}

}  // namespace quorvel
