#include "ui/settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <algorithm>
#include <cmath>
#include <optional>

#include "core/ellipsoid.h"
#include "core/number_text.h"
#include "core/projection_surface.h"
#include "print/qt_messages.h"

namespace quorvel {
namespace {

// The settings file's name for a custom a and 1/f.
constexpr char kCustomKey[] = "custom";

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Number(double v) {
    return QString::fromStdString(ShortestText(v));
}

std::optional<double> ReadNumber(const QString& text) {
    return TryParseNumber(text.trimmed().toStdString());
}

std::string CustomText(double a, double rf) {
    return ShortestText(a) + "," + ShortestText(rf);
}

}  // namespace

QString MethodLabel(Method method) {
    return method == Method::Classic ? QStringLiteral("传统级数") : QStringLiteral("精确");
}

QString GeodesySettings::Describe() const {
    const EllipsoidEntry* named = Named();
    const QString name = named ? FromView(named->chinese)
                               : QStringLiteral("a = %1, 1/f = %2").arg(Number(a), Number(rf));
    QString text = name + QStringLiteral(", ") + MethodLabel(method);
    if (projectionHeight != 0)
        text += QStringLiteral(", 投影面高程 %1 m").arg(Number(projectionHeight));
    return text;
}

QString WindowTitleFor(const GeodesySettings& settings) {
    if (settings.IsDefault()) return QStringLiteral("Quorvel");
    return QStringLiteral("Quorvel — ") + settings.Describe();
}

QString CheckCustomEllipsoid(double a, double rf) {
    // The core's bounds for a plausible Earth ellipsoid: outside them a typing slip (km for m,
    // f for 1/f) is the likelier story.
    if (!(a >= kMinSemiMajorAxis && a <= kMaxSemiMajorAxis))
        return QtMessage(Tr("the semi-major axis a must be between {0} and {1} m"),
                         {Number(kMinSemiMajorAxis), Number(kMaxSemiMajorAxis)});
    if (!(rf >= kMinInverseFlattening && rf <= kMaxInverseFlattening))
        return QtMessage(Tr("the inverse flattening 1/f must be between {0} and {1}"),
                         {Number(kMinInverseFlattening), Number(kMaxInverseFlattening)});
    return {};
}

engine::Geodesy ProjectionOf(const GeodesySettings& g) {
    engine::Geodesy geodesy;
    const EllipsoidEntry* named = g.Named();
    geodesy.ellipsoid =
        named ? named->ToEllipsoid() : MakeEllipsoid(CustomText(g.a, g.rf), g.a, g.rf);
    geodesy.method = g.method;
    geodesy.projectionHeight = g.projectionHeight;
    return geodesy;
}

ProjectionChoice ProjectionFor(const GeodesySettings& g) {
    if (g.IsDefault()) return {};
    const engine::Geodesy p = ProjectionOf(g);
    return {
        std::make_shared<GaussKruger>(p.method, p.ellipsoid, 1, FalseEasting, p.projectionHeight),
        g.Describe().toStdString()};
}

GeodesySettings GeodesySettings::Load(QSettings& s) {
    GeodesySettings g;
    const QString key = s.value(QStringLiteral("geodesy/ellipsoid")).toString();
    if (key == QLatin1String(kCustomKey)) {
        g.ellipsoid.clear();
        g.a = s.value(QStringLiteral("geodesy/a")).toDouble();
        g.rf = s.value(QStringLiteral("geodesy/rf")).toDouble();
        if (!CheckCustomEllipsoid(g.a, g.rf).isEmpty()) return {};
    } else if (const EllipsoidEntry* named = FindEllipsoid(key.toStdString())) {
        g.ellipsoid = named->key;
        g.a = named->a;
        g.rf = named->rf;
    }
    const bool exact = s.value(QStringLiteral("geodesy/method")).toString() == u"exact";
    const EllipsoidEntry* named = g.Named();
    g.method = exact || !named || !named->classicSeries ? Method::Exact : Method::Classic;
    const double height = s.value(QStringLiteral("geodesy/projectionHeight")).toDouble();
    g.projectionHeight = std::fabs(height) <= kMaxProjectionHeight ? height : 0;
    return g;
}

void GeodesySettings::Save(QSettings& s) const {
    const bool custom = !Named();
    s.setValue(QStringLiteral("geodesy/ellipsoid"),
               custom ? QString::fromLatin1(kCustomKey) : QString::fromStdString(ellipsoid));
    if (custom) {
        s.setValue(QStringLiteral("geodesy/a"), a);
        s.setValue(QStringLiteral("geodesy/rf"), rf);
    } else {
        s.remove(QStringLiteral("geodesy/a"));
        s.remove(QStringLiteral("geodesy/rf"));
    }
    s.setValue(QStringLiteral("geodesy/method"), FromView(MethodName(method)));
    s.setValue(QStringLiteral("geodesy/projectionHeight"), projectionHeight);
}

SettingsDialog::SettingsDialog(const GeodesySettings& settings, QWidget* parent)
    : QDialog(parent),
      ellipsoid_(new QComboBox(this)),
      a_(new QLineEdit(this)),
      rf_(new QLineEdit(this)),
      method_(new QComboBox(this)),
      height_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("椭球与算法"));
    // Each row of the catalogue by its Chinese name, its key as the item's data; then custom.
    for (const EllipsoidEntry& e : EllipsoidCatalogue()) {
        ellipsoid_->addItem(FromView(e.chinese), FromView(e.key));
    }
    ellipsoid_->addItem(QStringLiteral("自定义 a 与 1/f"), QString());
    method_->addItem(MethodLabel(Method::Classic));
    method_->addItem(MethodLabel(Method::Exact));
    method_->setToolTip(
        QStringLiteral("传统级数：一直以来的克拉索夫斯基级数；精确：横轴墨卡托的精确解，任何椭球"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("椭球(&E)"), ellipsoid_);
    form->addRow(QStringLiteral("长半轴 a (米)"), a_);
    form->addRow(QStringLiteral("扁率倒数 1/f"), rf_);
    form->addRow(QStringLiteral("算法(&M)"), method_);
    form->addRow(QStringLiteral("投影面高程 H0 (米)(&H)"), height_);
    height_->setPlaceholderText(QStringLiteral("0"));
    height_->setToolTip(
        QStringLiteral("抵偿投影面：椭球长半轴加大到 a + H0、扁率不变后投影；0 即参考椭球面"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setTabOrder(ellipsoid_, a_);
    setTabOrder(a_, rf_);
    setTabOrder(rf_, method_);
    setTabOrder(method_, height_);

    ellipsoid_->setCurrentIndex(
        std::max(0, ellipsoid_->findData(QString::fromStdString(settings.ellipsoid))));
    a_->setText(Number(settings.a));
    rf_->setText(Number(settings.rf));
    EllipsoidChosen(ellipsoid_->currentIndex());
    method_->setCurrentIndex(static_cast<int>(settings.method));
    if (settings.projectionHeight != 0) height_->setText(Number(settings.projectionHeight));
    connect(ellipsoid_, &QComboBox::currentIndexChanged, this, &SettingsDialog::EllipsoidChosen);
    ellipsoid_->setFocus();
}

void SettingsDialog::EllipsoidChosen(int index) {
    const EllipsoidEntry* named =
        FindEllipsoid(ellipsoid_->itemData(index).toString().toStdString());
    a_->setEnabled(!named);
    rf_->setEnabled(!named);
    if (named) {
        a_->setText(Number(named->a));
        rf_->setText(Number(named->rf));
    }
    // The series hold for Krassovsky alone.
    auto* model = qobject_cast<QStandardItemModel*>(method_->model());
    const bool classicAllowed = named && named->classicSeries;
    model->item(static_cast<int>(Method::Classic))->setEnabled(classicAllowed);
    if (!classicAllowed) method_->setCurrentIndex(static_cast<int>(Method::Exact));
}

GeodesySettings SettingsDialog::settings() const {
    GeodesySettings g;
    g.ellipsoid = ellipsoid_->currentData().toString().toStdString();
    g.method = static_cast<Method>(method_->currentIndex());
    if (const EllipsoidEntry* named = g.Named()) {
        g.a = named->a;
        g.rf = named->rf;
    } else {
        g.a = ReadNumber(a_->text()).value_or(NAN);
        g.rf = ReadNumber(rf_->text()).value_or(NAN);
    }
    const QString height = height_->text().trimmed();
    g.projectionHeight = height.isEmpty() ? 0 : ReadNumber(height).value_or(NAN);
    return g;
}

void SettingsDialog::accept() {
    const GeodesySettings g = settings();
    if (!g.Named()) {
        const QString problem = CheckCustomEllipsoid(g.a, g.rf);
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, windowTitle(), problem);
            // The semi-major axis is checked first: when it passes, the flattening failed.
            const bool aFits = g.a >= kMinSemiMajorAxis && g.a <= kMaxSemiMajorAxis;
            (aFits ? rf_ : a_)->setFocus();
            return;
        }
    }
    if (!(std::fabs(g.projectionHeight) <= kMaxProjectionHeight)) {
        QMessageBox::warning(
            this, windowTitle(),
            QtMessage(Tr("the projection height must be a number between -10000 and 10000 m")));
        height_->setFocus();
        height_->selectAll();
        return;
    }
    QDialog::accept();
}

}  // namespace quorvel
