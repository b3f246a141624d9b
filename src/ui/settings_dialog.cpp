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
#include <cmath>
#include <optional>

#include "core/ellipsoid.h"
#include "core/number_text.h"
#include "print/qt_messages.h"

namespace quorvel {
namespace {

using EllipsoidId = GeodesySettings::Ellipsoid;
using MethodId = GeodesySettings::Method;

struct Named {
    EllipsoidId id;
    const char* key;  // in the settings file
    double a, rf;
};
constexpr Named kEllipsoids[] = {
    {EllipsoidId::Krassovsky, "krassovsky", 6378245, 298.3},
    {EllipsoidId::Xian80, "xian80", 6378140, 298.257},
    {EllipsoidId::Cgcs2000, "cgcs2000", 6378137, 298.257222101},
    {EllipsoidId::Wgs84, "wgs84", 6378137, 298.257223563},
    {EllipsoidId::Custom, "custom", 0, 0},
};

const Named& Find(EllipsoidId id) {
    return kEllipsoids[static_cast<int>(id)];
}

QString Number(double v) {
    return QString::fromStdString(ShortestText(v));
}

std::optional<double> ReadNumber(const QString& text) {
    return TryParseNumber(text.trimmed().toStdString());
}

}  // namespace

QString EllipsoidName(EllipsoidId ellipsoid) {
    switch (ellipsoid) {
        case EllipsoidId::Krassovsky:
            return QStringLiteral("克拉索夫斯基 (北京1954)");
        case EllipsoidId::Xian80:
            return QStringLiteral("IAG-75 (西安1980)");
        case EllipsoidId::Cgcs2000:
            return QStringLiteral("CGCS2000");
        case EllipsoidId::Wgs84:
            return QStringLiteral("WGS 84");
        case EllipsoidId::Custom:
            break;
    }
    return QStringLiteral("自定义 a 与 1/f");
}

QString MethodName(MethodId method) {
    return method == MethodId::Classic ? QStringLiteral("传统级数") : QStringLiteral("精确");
}

QString GeodesySettings::Describe() const {
    const QString name = ellipsoid == EllipsoidId::Custom
                             ? QStringLiteral("a = %1, 1/f = %2").arg(Number(a), Number(rf))
                             : EllipsoidName(ellipsoid);
    return name + QStringLiteral(", ") + MethodName(method);
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
    switch (g.ellipsoid) {
        case EllipsoidId::Krassovsky:
            geodesy.ellipsoid = Krassovsky();
            break;
        case EllipsoidId::Xian80:
            geodesy.ellipsoid = Xian80();
            break;
        case EllipsoidId::Cgcs2000:
            geodesy.ellipsoid = Cgcs2000();
            break;
        case EllipsoidId::Wgs84:
            geodesy.ellipsoid = Wgs84();
            break;
        case EllipsoidId::Custom:
            geodesy.ellipsoid =
                MakeEllipsoid(ShortestText(g.a) + "," + ShortestText(g.rf), g.a, g.rf);
            break;
    }
    geodesy.method =
        g.method == MethodId::Classic ? quorvel::Method::Classic : quorvel::Method::Exact;
    return geodesy;
}

ProjectionChoice ProjectionFor(const GeodesySettings& g) {
    if (g.IsDefault()) return {};
    const engine::Geodesy p = ProjectionOf(g);
    return {std::make_shared<GaussKruger>(p.method, p.ellipsoid), g.Describe().toStdString()};
}

GeodesySettings GeodesySettings::Load(QSettings& s) {
    GeodesySettings g;
    const QString key = s.value(QStringLiteral("geodesy/ellipsoid")).toString();
    for (const Named& n : kEllipsoids) {
        if (key != QLatin1String(n.key)) continue;
        g.ellipsoid = n.id;
        g.a = n.a;
        g.rf = n.rf;
    }
    if (g.ellipsoid == EllipsoidId::Custom) {
        g.a = s.value(QStringLiteral("geodesy/a")).toDouble();
        g.rf = s.value(QStringLiteral("geodesy/rf")).toDouble();
        if (!CheckCustomEllipsoid(g.a, g.rf).isEmpty()) return {};
    }
    const bool exact = s.value(QStringLiteral("geodesy/method")).toString() == u"exact";
    g.method =
        exact || g.ellipsoid != EllipsoidId::Krassovsky ? MethodId::Exact : MethodId::Classic;
    return g;
}

void GeodesySettings::Save(QSettings& s) const {
    s.setValue(QStringLiteral("geodesy/ellipsoid"), QLatin1String(Find(ellipsoid).key));
    if (ellipsoid == EllipsoidId::Custom) {
        s.setValue(QStringLiteral("geodesy/a"), a);
        s.setValue(QStringLiteral("geodesy/rf"), rf);
    } else {
        s.remove(QStringLiteral("geodesy/a"));
        s.remove(QStringLiteral("geodesy/rf"));
    }
    s.setValue(QStringLiteral("geodesy/method"),
               method == MethodId::Classic ? QStringLiteral("classic") : QStringLiteral("exact"));
}

SettingsDialog::SettingsDialog(const GeodesySettings& settings, QWidget* parent)
    : QDialog(parent),
      ellipsoid_(new QComboBox(this)),
      a_(new QLineEdit(this)),
      rf_(new QLineEdit(this)),
      method_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("椭球与算法"));
    for (const Named& n : kEllipsoids) ellipsoid_->addItem(EllipsoidName(n.id));
    method_->addItem(MethodName(MethodId::Classic));
    method_->addItem(MethodName(MethodId::Exact));
    method_->setToolTip(
        QStringLiteral("传统级数：一直以来的克拉索夫斯基级数；精确：横轴墨卡托的精确解，任何椭球"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("椭球(&E)"), ellipsoid_);
    form->addRow(QStringLiteral("长半轴 a (米)"), a_);
    form->addRow(QStringLiteral("扁率倒数 1/f"), rf_);
    form->addRow(QStringLiteral("算法(&M)"), method_);
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

    ellipsoid_->setCurrentIndex(static_cast<int>(settings.ellipsoid));
    a_->setText(Number(settings.a));
    rf_->setText(Number(settings.rf));
    EllipsoidChosen(ellipsoid_->currentIndex());
    method_->setCurrentIndex(static_cast<int>(settings.method));
    connect(ellipsoid_, &QComboBox::currentIndexChanged, this, &SettingsDialog::EllipsoidChosen);
    ellipsoid_->setFocus();
}

void SettingsDialog::EllipsoidChosen(int index) {
    const auto id = static_cast<EllipsoidId>(index);
    const bool custom = id == EllipsoidId::Custom;
    a_->setEnabled(custom);
    rf_->setEnabled(custom);
    if (!custom) {
        a_->setText(Number(Find(id).a));
        rf_->setText(Number(Find(id).rf));
    }
    // The series hold for Krassovsky alone.
    auto* model = qobject_cast<QStandardItemModel*>(method_->model());
    const bool classicAllowed = id == EllipsoidId::Krassovsky;
    model->item(static_cast<int>(MethodId::Classic))->setEnabled(classicAllowed);
    if (!classicAllowed) method_->setCurrentIndex(static_cast<int>(MethodId::Exact));
}

GeodesySettings SettingsDialog::settings() const {
    GeodesySettings g;
    g.ellipsoid = static_cast<EllipsoidId>(ellipsoid_->currentIndex());
    g.method = static_cast<MethodId>(method_->currentIndex());
    if (g.ellipsoid == EllipsoidId::Custom) {
        g.a = ReadNumber(a_->text()).value_or(NAN);
        g.rf = ReadNumber(rf_->text()).value_or(NAN);
    } else {
        g.a = Find(g.ellipsoid).a;
        g.rf = Find(g.ellipsoid).rf;
    }
    return g;
}

void SettingsDialog::accept() {
    const GeodesySettings g = settings();
    if (g.ellipsoid == EllipsoidId::Custom) {
        const QString problem = CheckCustomEllipsoid(g.a, g.rf);
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, windowTitle(), problem);
            // The semi-major axis is checked first: when it passes, the flattening failed.
            const bool aFits = g.a >= kMinSemiMajorAxis && g.a <= kMaxSemiMajorAxis;
            (aFits ? rf_ : a_)->setFocus();
            return;
        }
    }
    QDialog::accept();
}

}  // namespace quorvel
