// vantrel-designer: forms made on its command line read back into a control
// exactly; bad input never touches the form; the window edits and saves the
// controls of a form.
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "designerwindow.h"
#include "image/control/aicalphaimage.h"
#include "image/control/ppgsourceimage.h"
#include "platform/formdata.h"
#include "propertypanel.h"
#include "test_support.h"

namespace {

QString pngPath() { return testsupport::dataDir() + QStringLiteral("/pngsuite/basn6a08.png"); }

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct RunResult {
  int exitCode = -1;
  QString errorText;
};

RunResult runDesigner(const QStringList& arguments) {
  QProcess process;
  process.start(testsupport::binDir() + QStringLiteral("/vantrel-designer"), arguments);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished(5000);
    return {};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromLocal8Bit(process.readAllStandardError())};
}

QStringList keysOf(const PropertyBag& bag) {
  QStringList keys;
  for (const auto& [key, value] : bag.entries()) keys.append(key);
  keys.sort();
  return keys;
}

}  // namespace

class DesignerToolTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_dir.isValid());
    m_form = m_dir.filePath(QStringLiteral("window.vfd"));
    QFile::remove(m_form);
  }

  void commandLineFormHoldsThePictureAndTheSetKeysOnly() {
    const RunResult run =
        runDesigner({"--form", m_form, "--control", "aicAlphaImage1", "--size", "241x140",
                     "--image", pngPath(), "--set", "ShadowEnabled=1", "--set", "ShadowDepth=6",
                     "--set", "ShadowOffsetX=3", "--set", "ShadowColor=#102030", "--save"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errorText));
    const std::optional<FormData> form = loadFormDataFile(m_form);
    QVERIFY(form.has_value());
    QCOMPARE(form->controlNames(), QStringList{"aicAlphaImage1"});
    const PropertyBag& bag = *form->find(QStringLiteral("aicAlphaImage1"));
    QCOMPARE(keysOf(bag), (QStringList{"Image", "Props", "ShadowColor", "ShadowDepth", "ShadowX"}));
    // A PNG is kept as the file's own bytes.
    QCOMPARE(bag.ReadProperty(QStringLiteral("Image"), QByteArray()), fileBytes(pngPath()));
    QCOMPARE(bag.ReadProperty<int32_t>(QStringLiteral("Props"), 0),
             AlphaImageProps::kStretchQuality | AlphaImageProps::kShadowEnabled);
    QCOMPARE(bag.ReadProperty<int16_t>(QStringLiteral("ShadowDepth"), 0), int16_t{6});
    QCOMPARE(bag.ReadProperty<int16_t>(QStringLiteral("ShadowX"), 0), int16_t{3});
    // #RRGGBB lands as a colour number, blue in the high byte.
    QCOMPARE(bag.ReadProperty<int32_t>(QStringLiteral("ShadowColor"), 0), 0x302010);

    // Read into a control being designed, the form gives the same control back.
    aicAlphaImage control;
    control.setDesignMode(true);
    control.resize(241, 140);
    control.ReadProperties(bag);
    QVERIFY(control.ShadowEnabled());
    QCOMPARE(control.ShadowDepth(), 6);
    QCOMPARE(control.ShadowOffsetX(), 3);
    QCOMPARE(control.ShadowOffsetY(), 2);
    QCOMPARE(control.picture().Width(), 32);
    PropertyBag written;
    control.WriteProperties(written);
    QCOMPARE(keysOf(written), keysOf(bag));
    QVERIFY(written == bag);
  }

  void laterRunsKeepTheOtherControls() {
    QCOMPARE(runDesigner({"--form", m_form, "--image", pngPath(), "--save"}).exitCode, 0);
    QCOMPARE(runDesigner(
                 {"--form", m_form, "--control", "aicAlphaImage2", "--set", "Opacity=80", "--save"})
                 .exitCode,
             0);
    std::optional<FormData> form = loadFormDataFile(m_form);
    QVERIFY(form.has_value());
    QCOMPARE(form->controlNames(), (QStringList{"aicAlphaImage1", "aicAlphaImage2"}));
    QCOMPARE(keysOf(*form->find("aicAlphaImage1")), QStringList{"Image"});
    QCOMPARE(keysOf(*form->find("aicAlphaImage2")), QStringList{"Opacity"});
    QCOMPARE(form->find("aicAlphaImage2")->ReadProperty<int16_t>("Opacity", 0), int16_t{80});

    QCOMPARE(runDesigner({"--form", m_form, "--clear", "--save"}).exitCode, 0);
    form = loadFormDataFile(m_form);
    QVERIFY(form.has_value());
    QVERIFY(form->find("aicAlphaImage1")->isEmpty());
    QCOMPARE(keysOf(*form->find("aicAlphaImage2")), QStringList{"Opacity"});
  }

  void badInputLeavesTheFormAlone() {
    QCOMPARE(runDesigner({"--form", m_form, "--image", pngPath(), "--save"}).exitCode, 0);
    const QByteArray before = fileBytes(m_form);
    const QList<QStringList> refused = {
        {"--form", m_form, "--set", "NoSuchProperty=1", "--save"},
        {"--form", m_form, "--set", "ShadowDepth=11", "--save"},
        {"--form", m_form, "--set", "ShadowOpacity", "--save"},
        {"--form", m_form, "--image", m_dir.filePath("missing.png"), "--save"},
        {"--form", m_form, "--size", "0x10", "--save"},
        {"--form", m_form, "--control", "two words", "--save"},
        {"--form", m_form, "--set", "Opacity=50"},
    };
    for (const QStringList& arguments : refused) {
      const RunResult run = runDesigner(arguments);
      QVERIFY2(run.exitCode > 0, qPrintable(arguments.join(' ')));
      QVERIFY2(!run.errorText.isEmpty(), qPrintable(arguments.join(' ')));
      QCOMPARE(fileBytes(m_form), before);
    }
  }

  void unreadableFormIsNeverOverwritten() {
    QFile file(m_form);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a form\n");
    file.close();
    QVERIFY(runDesigner({"--form", m_form, "--image", pngPath(), "--save"}).exitCode > 0);
    QCOMPARE(fileBytes(m_form), QByteArray("not a form\n"));
  }

  void windowEditsAndSavesTheSelectedControl() {
    QCOMPARE(runDesigner({"--form", m_form, "--image", pngPath(), "--save"}).exitCode, 0);
    DesignerWindow window(QSize(241, 140));
    QVERIFY(window.openForm(m_form));
    window.show();
    QVERIFY(window.shownControl() != nullptr);
    QVERIFY(window.shownControl()->designMode());
    QCOMPARE(window.shownControl()->size(), QSize(241, 140));
    QCOMPARE(window.shownControl()->picture().Width(), 32);

    auto* depth = qobject_cast<QSpinBox*>(window.propertyPanel()->editor("ShadowDepth"));
    QVERIFY(depth != nullptr);
    depth->setValue(4);
    QCOMPARE(window.shownControl()->ShadowDepth(), 4);
    QVERIFY(window.isModified());

    window.selectControl(QStringLiteral("aicAlphaImage2"));
    window.sourcePage()->setFileChooser(
        [](QWidget*, const QString&, const QString&) { return pngPath(); });
    window.sourcePage()->cmdBrowse->click();
    QVERIFY(window.save());
    QVERIFY(!window.isModified());

    const std::optional<FormData> form = loadFormDataFile(m_form);
    QVERIFY(form.has_value());
    QCOMPARE(form->controlNames(), (QStringList{"aicAlphaImage1", "aicAlphaImage2"}));
    QCOMPARE(form->find("aicAlphaImage1")->ReadProperty<int16_t>("ShadowDepth", 0), int16_t{4});
    QCOMPARE(keysOf(*form->find("aicAlphaImage2")), QStringList{"Image"});
  }

  void windowRefusesAnUnreadableForm() {
    QFile file(m_form);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("VantrelFormData 1\ncontrol a\n  Opacity int16 seventy\nend\n");
    file.close();
    DesignerWindow window(QSize(100, 50));
    QString error;
    QVERIFY(!window.openForm(m_form, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(window.form().controlNames().isEmpty());
  }

 private:
  QTemporaryDir m_dir;
  QString m_form;
};

QTEST_MAIN(DesignerToolTest)
#include "designer_test.moc"
