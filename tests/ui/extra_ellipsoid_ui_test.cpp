// The settings dialog built with one more row in the ellipsoid catalogue
// (tests/extra_ellipsoid_row.inc): the row alone must be listed, chosen, named and kept.
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/settings_dialog.h"

using namespace quorvel;

class ExtraEllipsoidTest : public QObject {
    Q_OBJECT

  private slots:
    void settingsDialogListsAndKeepsTheRow() {
        SettingsDialog dialog{GeodesySettings{}};
        QComboBox* box = dialog.ellipsoidBox();
        // After the product's four, before the custom a and 1/f.
        QCOMPARE(box->findText(QStringLiteral("贝塞尔 1841")), 4);
        QCOMPARE(box->count(), 6);
        box->setCurrentIndex(4);
        const GeodesySettings g = dialog.settings();
        QCOMPARE(g.ellipsoid, std::string("bessel"));
        QCOMPARE(g.method, Method::Exact);  // the classic series are Krassovsky's alone
        QCOMPARE(dialog.aEdit()->text(), QStringLiteral("6377397.155"));
        QCOMPARE(dialog.rfEdit()->text(), QStringLiteral("299.1528128"));
        QCOMPARE(WindowTitleFor(g), QStringLiteral("Quorvel — 贝塞尔 1841, 精确"));
        QCOMPARE(ProjectionFor(g).projection->ellipsoid().a, 6377397.155);

        QTemporaryDir dir;
        QSettings s(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        g.Save(s);
        QCOMPARE(s.value(QStringLiteral("geodesy/ellipsoid")).toString(), QStringLiteral("bessel"));
        QCOMPARE(GeodesySettings::Load(s), g);
        SettingsDialog reopened(GeodesySettings::Load(s));
        QCOMPARE(reopened.ellipsoidBox()->currentIndex(), 4);
    }
};

QTEST_MAIN(ExtraEllipsoidTest)
#include "extra_ellipsoid_ui_test.moc"
