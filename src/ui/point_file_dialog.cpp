#include "ui/point_file_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/messages.h"
#include "engine/reading/column_names.h"
#include "engine/reading/file_head.h"
#include "engine/run/job.h"
#include "print/qt_messages.h"
#include "ui/app_window.h"
#include "ui/qt_io.h"

namespace quorvel {
namespace {

// What the first lines suggest: a header, and the columns its names give.
PointFileChoice GuessOfLines(const std::vector<PreviewLine>& lines,
                             const std::vector<std::string>& coordinates) {
    std::vector<std::string> names;
    for (const QString& n : HeaderNames(lines, true)) names.push_back(n.toStdString());
    const std::optional<std::vector<std::size_t>> named =
        engine::ColumnsOfNames(engine::ReadColumnNames(names), coordinates);
    std::vector<std::size_t> inOrder;
    for (std::size_t k = 0; k <= coordinates.size(); ++k) inOrder.push_back(k);
    PointFileChoice c;
    c.header = LooksLikeHeader(lines, named.value_or(inOrder), false);
    if (c.header && named && *named != inOrder) c.fields = *named;
    return c;
}

QString GroupOf(const QString& key) {
    return QStringLiteral("pointFile/") + key;
}

}  // namespace

PointFileChoice GuessPointFile(const QString& path, const std::vector<std::string>& coordinates) {
    const QString encoding = SniffedEncoding(path);
    PointFileChoice c = GuessOfLines(PreviewFile(path, encoding), coordinates);
    c.encoding = encoding;
    return c;
}

std::vector<std::string> ReadingArguments(const PointFileChoice& c) {
    std::vector<std::string> args;
    if (!c.encoding.isEmpty()) args.insert(args.end(), {"--encoding", IconvEncoding(c.encoding)});
    if (!c.sheet.isEmpty()) args.insert(args.end(), {"--sheet", c.sheet.toStdString()});
    if (c.header) args.push_back("--header");
    if (!c.fields.empty()) {
        std::string fields;
        for (std::size_t f : c.fields)
            fields += (fields.empty() ? "" : ",") + std::to_string(f + 1);
        args.insert(args.end(), {"--fields", fields});
    }
    if (c.decimalComma) args.push_back("--decimal-comma");
    return args;
}

PointFileDialog::PointFileDialog(const QString& path, const QString& title,
                                 const std::vector<std::string>& coordinates,
                                 const QStringList& shown, const QString& otherRole,
                                 QWidget* parent)
    : QDialog(parent),
      path_(path),
      coordinates_(coordinates),
      preview_(new QTableWidget(this)),
      rolesLabel_(new QLabel(QStringLiteral("各列用途(&C)："), this)),
      fields_(new QLabel(this)),
      encoding_(new QComboBox(this)),
      sheet_(new QComboBox(this)),
      sheetLabel_(new QLabel(QStringLiteral("工作表(&S)"), this)),
      header_(new QCheckBox(QStringLiteral("首行为表头(&H)"), this)),
      decimalComma_(new QCheckBox(QStringLiteral("小数点是逗号，如 3380000,123(&D)"), this)) {
    setWindowTitle(title);
    roleNames_ << QStringLiteral("点名") << shown << otherRole;
    encoding_->addItem(QStringLiteral("UTF-8"), QString());
    encoding_->addItem(QStringLiteral("GB18030"), QStringLiteral("gb18030"));
    encoding_->addItem(QStringLiteral("GBK"), QStringLiteral("gbk"));
    sheetLabel_->setBuddy(sheet_);
    // A workbook carries its own encoding: the box is for text.
    workbook_ = FillSheetBox(*sheet_, *sheetLabel_, path_);
    encoding_->setEnabled(!workbook_);
    LayOut();
    Start();
    const auto reread = [this] {
        ReadPreview();
        ShowPreview();
    };
    connect(encoding_, &QComboBox::currentIndexChanged, this, reread);
    connect(decimalComma_, &QCheckBox::toggled, this, reread);
    connect(sheet_, &QComboBox::currentIndexChanged, this, [this] {
        // Another sheet may or may not start with a header.
        ReadPreview();
        header_->setChecked(GuessOfLines(lines_, coordinates_).header);
        ShowPreview();
    });
    connect(header_, &QCheckBox::toggled, this, &PointFileDialog::ShowPreview);
    encoding_->setFocus();
    ResizeWithinScreen(*this, QSize(720, 480));
}

void PointFileDialog::LayOut() {
    preview_->setMinimumHeight(150);
    auto* ticks = new QHBoxLayout;
    ticks->addWidget(header_);
    ticks->addWidget(decimalComma_);
    ticks->addStretch(1);
    auto* form = new QFormLayout;
    form->addRow(sheetLabel_, sheet_);
    form->addRow(QStringLiteral("编码(&E)"), encoding_);
    form->addRow(QString(), ticks);
    QWidget* body = RolePreviewBody(*this, path_, rolesLabel_, preview_, fields_, form);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &PointFileDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &PointFileDialog::reject);
    ok_ = ok;
    cancel_ = cancel;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ScrollingBody(this, body), 1);
    layout->addLayout(buttons);
}

void PointFileDialog::Start() {
    const QString encoding = SniffedEncoding(path_);
    encoding_->setCurrentIndex(std::max(0, encoding_->findData(encoding)));
    lines_ = PreviewFile(path_, encoding, false, 12, Sheet());
    const PointFileChoice guess = GuessOfLines(lines_, coordinates_);
    header_->setChecked(guess.header);
    const std::size_t count = std::max(ColumnCount(lines_), coordinates_.size() + 1);
    const int other = static_cast<int>(coordinates_.size()) + 1;
    roles_.assign(count, other);
    for (std::size_t k = 0; k <= coordinates_.size(); ++k)
        roles_[guess.fields.empty() ? k : guess.fields[k]] = static_cast<int>(k);
    key_ = HeaderKey(lines_, guess.header, ColumnCount(lines_));
    Recall();
    if (workbook_) encoding_->setCurrentIndex(0);
    ReadPreview();
    ShowPreview();
}

void PointFileDialog::ReadPreview() {
    lines_ = PreviewFile(path_, encoding_->currentData().toString(), decimalComma_->isChecked(), 12,
                         Sheet());
    const std::size_t count = std::max(ColumnCount(lines_), coordinates_.size() + 1);
    const int other = static_cast<int>(coordinates_.size()) + 1;
    // A column that has a role keeps it; new ones are the other role.
    while (roles_.size() > count && roles_.back() == other) roles_.pop_back();
    roles_.resize(std::max(count, roles_.size()), other);
}

void PointFileDialog::ShowPreview() {
    roleBoxes_ = ShowRolePreview(*preview_, lines_, header_->isChecked(), roleNames_, roles_,
                                 [this](std::size_t i, int role) {
                                     roles_[i] = role;
                                     RolesChanged();
                                 });
    rolesLabel_->setBuddy(roleBoxes_.front());
    RolesChanged();
    OrderTabs();
}

std::vector<std::size_t> PointFileDialog::Fields() const {
    std::vector<std::size_t> fields(coordinates_.size() + 1, 0);
    std::vector<int> count(fields.size(), 0);
    for (std::size_t i = 0; i < roles_.size(); ++i) {
        const auto k = static_cast<std::size_t>(roles_[i]);
        if (k >= fields.size()) continue;
        fields[k] = i;
        ++count[k];
    }
    if (std::any_of(count.begin(), count.end(), [](int n) { return n != 1; })) return {};
    return fields;
}

void PointFileDialog::RolesChanged() {
    const std::vector<std::size_t> fields = Fields();
    const bool comma = decimalComma_->isChecked();
    const auto problem = [&](const PreviewLine& p) {
        return fields.empty() ? p.problem : PreviewProblem(p, fields, comma);
    };
    ShowLineProblems(*preview_, lines_, header_->isChecked(), problem,
                     [](std::size_t) { return false; });
    if (fields.empty()) {
        QStringList wanted = roleNames_;
        wanted.removeLast();
        fields_->setText(QStringLiteral("<span style='color:#c00000'>请为%1各选一列。</span>")
                             .arg(wanted.join(QStringLiteral("、"))));
        return;
    }
    QStringList parts;
    for (std::size_t k = 0; k < fields.size(); ++k)
        parts << QStringLiteral("%1：第 %2 列")
                     .arg(roleNames_[static_cast<int>(k)])
                     .arg(fields[k] + 1);
    fields_->setText(parts.join(QStringLiteral("；")));
}

QString PointFileDialog::Sheet() const {
    return workbook_ ? sheet_->currentText() : QString();
}

QString PointFileDialog::rolesText() const {
    return fields_->text();
}

void PointFileDialog::OrderTabs() {
    std::vector<QWidget*> order{sheet_, encoding_, header_, decimalComma_};
    order.insert(order.end(), roleBoxes_.begin(), roleBoxes_.end());
    order.insert(order.end(), {ok_, cancel_});
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

PointFileChoice PointFileDialog::choice() const {
    PointFileChoice c;
    c.encoding = workbook_ ? QString() : encoding_->currentData().toString();
    c.sheet = Sheet();
    c.header = header_->isChecked();
    c.decimalComma = decimalComma_->isChecked();
    c.fields = Fields();
    bool inOrder = true;
    for (std::size_t k = 0; k < c.fields.size(); ++k) inOrder = inOrder && c.fields[k] == k;
    if (inOrder) c.fields.clear();
    return c;
}

void PointFileDialog::Keep() const {
    auto s = ProgramSettings();
    s->beginGroup(GroupOf(key_));
    s->setValue(QStringLiteral("encoding"), encoding_->currentData().toString());
    s->setValue(QStringLiteral("header"), header_->isChecked());
    s->setValue(QStringLiteral("decimalComma"), decimalComma_->isChecked());
    // By name, so that they hold for other systems with the same coordinates.
    QStringList roles;
    for (int r : roles_)
        roles << (r == 0 ? QStringLiteral("name")
                  : r <= static_cast<int>(coordinates_.size())
                      ? QString::fromStdString(coordinates_[static_cast<std::size_t>(r) - 1])
                      : QString());
    s->setValue(QStringLiteral("roles"), roles);
    s->endGroup();
}

bool PointFileDialog::Recall() {
    auto s = ProgramSettings();
    s->beginGroup(GroupOf(key_));
    if (!s->contains(QStringLiteral("roles"))) return false;
    const QString encoding = s->value(QStringLiteral("encoding")).toString();
    encoding_->setCurrentIndex(std::max(0, encoding_->findData(encoding)));
    header_->setChecked(s->value(QStringLiteral("header")).toBool());
    decimalComma_->setChecked(s->value(QStringLiteral("decimalComma")).toBool());
    const QStringList kept = s->value(QStringLiteral("roles")).toStringList();
    std::vector<int> roles(std::max(roles_.size(), static_cast<std::size_t>(kept.size())),
                           static_cast<int>(coordinates_.size()) + 1);
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const auto at = std::find(coordinates_.begin(), coordinates_.end(), kept[i].toStdString());
        if (kept[i] == u"name") roles[static_cast<std::size_t>(i)] = 0;
        if (at != coordinates_.end())
            roles[static_cast<std::size_t>(i)] = static_cast<int>(at - coordinates_.begin()) + 1;
    }
    // Kept for other coordinates (another system): the guess stands.
    std::swap(roles_, roles);
    if (Fields().empty()) std::swap(roles_, roles);
    return true;
}

void PointFileDialog::accept() {
    if (Fields().empty()) {
        roleBoxes_.front()->setFocus();
        return;
    }
    Keep();
    QDialog::accept();
}

}  // namespace quorvel
