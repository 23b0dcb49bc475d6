// The product picture on the main window: the image control in its place,
// given its picture and shadow by the window's stored form data, and what the
// window shows there: a picture whose soft edges blend into the window and a
// graded shadow. The screenshot is kept in the build tree for a look.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>

#include "app/controlform.h"
#include "app/frmmain.h"
#include "image/control/aicalphaimage.h"
#include "platform/formdata.h"
#include "platform/twips.h"

namespace {

const QString kFormResource = QStringLiteral(":/forms/frmmain.vfd");

int maxChannelDifference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

int luminance(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000; }

// The stored picture, decoded by the toolkit's own reader, at the size it is drawn.
QImage storedPicture(const QSize& drawnSize) {
  const std::optional<FormData> form = loadFormDataFile(kFormResource);
  if (!form || form->find(QStringLiteral("aicAlphaImage1")) == nullptr) return {};
  const QByteArray bytes = form->find(QStringLiteral("aicAlphaImage1"))
                               ->ReadProperty(QStringLiteral("Image"), QByteArray());
  QImage picture = QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
  if (!picture.isNull() && picture.size() != drawnSize) {
    picture = picture.scaled(drawnSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return picture;
}

QString screenshotPath() {
  QString build = qEnvironmentVariable("VANTREL_BINARY_DIR");
  if (build.isEmpty()) build = QDir::currentPath();
  QDir(build).mkpath(QStringLiteral("screenshots"));
  return build + QStringLiteral("/screenshots/frmmain-product-picture.png");
}

}  // namespace

class ProductPictureTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_folder.isValid());
    m_window = std::make_unique<FrmMain>(m_folder.path());
  }
  void cleanup() { m_window.reset(); }

  void imageControlStandsInItsPlaceWithThePicture() {
    aicAlphaImage* control = m_window->findChild<aicAlphaImage*>(QStringLiteral("aicAlphaImage1"));
    QVERIFY(control != nullptr);
    QCOMPARE(control, m_window->aicAlphaImage1);
    QCOMPARE(control->geometry(), twipsRect(60, 6180, 3615, 2100));
    QVERIFY(!control->designMode());
    QCOMPARE(control->ImageType(), 10);
    QVERIFY(control->picture().Alpha());
    QVERIFY(control->ShadowEnabled());
    QVERIFY(control->ShadowDepth() >= 4 && control->ShadowDepth() <= 6);
    QVERIFY(control->ShadowOpacity() >= 50 && control->ShadowOpacity() <= 60);
  }

  void windowShowsThePictureBlendedWithASoftShadow() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QImage shot = m_window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = screenshotPath();
    QVERIFY(shot.save(path));
    qInfo("screenshot: %s", qPrintable(path));

    const aicAlphaImage* control = m_window->aicAlphaImage1;
    const QRect area = control->geometry();
    const QRect drawn = control->pictureRect().translated(area.topLeft());
    const QImage picture = storedPicture(drawn.size());
    QVERIFY(!picture.isNull());
    const QRgb background = m_window->palette().color(QPalette::Window).rgb();
    QCOMPARE(shot.pixel(area.topLeft() + QPoint(1, 1)) & 0xFFFFFF, background & 0xFFFFFF);

    int covered = 0, edgePixels = 0, blendedEdges = 0;
    std::vector<int> shadowDarkness;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        const QRgb seen = shot.pixel(x, y);
        if (maxChannelDifference(seen, background) > 8) ++covered;
        const QPoint inPicture = QPoint(x, y) - drawn.topLeft();
        const QRgb source = picture.rect().contains(inPicture) ? picture.pixel(inPicture) : 0;
        const int alpha = qAlpha(source);
        if (alpha == 0) {
          const int darkness = luminance(background) - luminance(seen);
          if (darkness > 3) shadowDarkness.push_back(darkness);
        } else if (alpha >= 48 && alpha <= 207 && maxChannelDifference(source, background) > 60) {
          // Partly covered: the window shows a mix, neither the window nor the picture's own colour.
          ++edgePixels;
          if (maxChannelDifference(seen, background) > 6 &&
              maxChannelDifference(seen, source) > 6) {
            ++blendedEdges;
          }
        }
      }
    }
    const int areaPixels = area.width() * area.height();
    QVERIFY2(covered * 4 > areaPixels,
             qPrintable(QStringLiteral("%1 of %2").arg(covered).arg(areaPixels)));
    QVERIFY2(edgePixels >= 30, qPrintable(QString::number(edgePixels)));
    QVERIFY2(blendedEdges * 10 >= edgePixels * 9,
             qPrintable(QStringLiteral("%1 of %2").arg(blendedEdges).arg(edgePixels)));
    // A soft shadow fades out over many steps rather than ending in one hard edge.
    QVERIFY2(shadowDarkness.size() >= 200, qPrintable(QString::number(shadowDarkness.size())));
    const std::set<int> levels(shadowDarkness.begin(), shadowDarkness.end());
    QVERIFY2(levels.size() >= 10, qPrintable(QString::number(levels.size())));
    QVERIFY(*levels.begin() < 10);
    QVERIFY(*levels.rbegin() > 25);
  }

  void formDataThatCannotBeReadLeavesTheControlEmpty() {
    aicAlphaImage control;
    control.resize(50, 50);
    QVERIFY(!ReadControlForm(m_folder.filePath(QStringLiteral("missing.vfd")), "aicAlphaImage1",
                             control));
    const QString garbage = m_folder.filePath(QStringLiteral("garbage.vfd"));
    QFile file(garbage);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG not form data");
    file.close();
    QVERIFY(!ReadControlForm(garbage, "aicAlphaImage1", control));
    QVERIFY(!ReadControlForm(kFormResource, "noSuchControl", control));
    QCOMPARE(control.picture().Handle(), uintptr_t{0});
    QVERIFY(!control.ShadowEnabled());
    QVERIFY(ReadControlForm(kFormResource, "aicAlphaImage1", control));
    QVERIFY(control.picture().Handle() != 0);
  }

 private:
  QTemporaryDir m_folder;
  std::unique_ptr<FrmMain> m_window;
};

QTEST_MAIN(ProductPictureTest)
#include "frmmain_picture_test.moc"
