// The source image page on a real image control: the icon entry texts, the
// open-file dialog's filter list, and Browse, From Clipboard, Clear Image and
// the icon entry choice working on real pictures.
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "../codecs/ico_builder.h"
#include "image/control/aicalphaimage.h"
#include "image/control/ppgsourceimage.h"
#include "test_support.h"

namespace {

// An icon file with a 16 x 16 entry of 16 colours and a 32 x 32 alpha entry.
std::vector<uint8_t> twoEntryIcon() {
  icobuild::BitmapEntry small;
  small.width = 16;
  small.height = 16;
  small.bits = 4;
  small.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  small.pixel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 4); };
  icobuild::BitmapEntry large;
  large.width = 32;
  large.height = 32;
  large.bits = 32;
  large.pixel = [](int x, int) { return x < 16 ? 0xFF2060A0u : 0x80FF8000u; };
  return icobuild::iconFile({icobuild::bitmapEntry(small), icobuild::bitmapEntry(large)});
}

QString writeFile(const QTemporaryDir& dir, const QString& name,
                  const std::vector<uint8_t>& bytes) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return QString();
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

QStringList itemTexts(const QComboBox* combo) {
  QStringList texts;
  for (int i = 0; i < combo->count(); ++i) texts.append(combo->itemText(i));
  return texts;
}

}  // namespace

class SourceImagePageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_dir.isValid());
    m_host = std::make_unique<QWidget>();
    m_control = new aicAlphaImage(m_host.get());
    m_control->setDesignMode(true);
    m_control->resize(32, 32);
    m_page = new ppgSourceImage(m_host.get());
    m_page->setSelectedControl(m_control);
    m_page->setFileChooser([this](QWidget*, const QString& title, const QString& filter) {
      m_askedTitle = title;
      m_askedFilter = filter;
      return m_answer;
    });
    m_host->show();
  }
  void cleanup() { m_host.reset(); }

  void iconEntriesNameSizeDepthAndColours() {
    QCOMPARE(iconEntryText(16, 16, 4, 16), QStringLiteral("016x016 {4 bit, 16 colors}"));
    QCOMPARE(iconEntryText(32, 32, 32, -1), QStringLiteral("032x032 {32 bit, True Color Alpha}"));
    QCOMPARE(iconEntryText(48, 48, 24, -16777216), QStringLiteral("048x048 {24 bit, True Color}"));
    QCOMPARE(iconEntryText(24, 24, 16, 16776960), QStringLiteral("024x024 {16 bit, High Color}"));
    QCOMPARE(iconEntryText(256, 256, 8, 256), QStringLiteral("256x256 {8 bit, 256 colors}"));
  }

  void descriptionsNameSizeAndKind() {
    QCOMPARE(pictureDescription(640, 480, 1, false),
             QStringLiteral("640 x 480 - Bitmap or JPG file"));
    QCOMPARE(pictureDescription(10, 20, 2, false), QStringLiteral("10 x 20 - Windows Meta File"));
    QCOMPARE(pictureDescription(10, 20, 4, false), QStringLiteral("10 x 20 - Windows Meta File"));
    QCOMPARE(pictureDescription(7, 8, 6, true), QStringLiteral("7 x 8 - Alpha Bitmap"));
    QCOMPARE(pictureDescription(7, 8, 7, true), QStringLiteral("7 x 8 - Alpha Bitmap"));
    QCOMPARE(pictureDescription(5, 5, 9, true), QStringLiteral("5 x 5 - Transparent GIF"));
    QCOMPARE(pictureDescription(5, 5, 9, false), QStringLiteral("5 x 5 - GIF file"));
    QCOMPARE(pictureDescription(3, 4, 10, true), QStringLiteral("3 x 4 - PNG file"));
  }

  void filterListWithoutTheImageServiceHasNoTiff() {
    const std::vector<SourceImageFilter> expected = {
        {"Image Files", "*gif;*.bmp;*.jpg;*.jpeg;*.ico;*.cur;*.wmf;*.emf;*.png"},
        {"Bitmaps", "*.bmp"},
        {"GIF Images", "*.gif"},
        {"Icons and Cursors", "*.ico;*.cur"},
        {"JPGs", "*.jpg;*.jpeg"},
        {"Meta Files", "*.wmf;*.emf"},
        {"PNG Images", "*.png"},
        {"All Files", "*.*"},
    };
    QVERIFY(sourceImageFilters(false) == expected);
    QVERIFY(!fileDialogFilterString(sourceImageFilters(false))
                 .contains(QStringLiteral("tiff"), Qt::CaseInsensitive));
  }

  void filterListWithTheImageServiceOffersTiff() {
    const std::vector<SourceImageFilter> filters = sourceImageFilters(true);
    QCOMPARE(filters.size(), size_t{9});
    QCOMPARE(filters[0].patterns,
             QStringLiteral("*gif;*.bmp;*.jpg;*.jpeg;*.ico;*.cur;*.wmf;*.emf;*.png;*.tiff"));
    QCOMPARE(filters[7], (SourceImageFilter{"Tiff", "*.tiff"}));
    QCOMPARE(filters[8], (SourceImageFilter{"All Files", "*.*"}));
  }

  void fileDialogTakesEveryFilter() {
    QFileDialog dialog;
    const std::vector<SourceImageFilter> filters = sourceImageFilters(true);
    dialog.setNameFilter(fileDialogFilterString(filters));
    const QStringList shown = dialog.nameFilters();
    QCOMPARE(shown.size(), static_cast<qsizetype>(filters.size()));
    QCOMPARE(shown[3], QStringLiteral("Icons and Cursors (*.ico *.cur)"));
    // All files, including those without a dot in their names.
    QCOMPARE(shown.last(), QStringLiteral("All Files (*)"));
  }

  void browseLoadsAnIconAndListsItsEntries() {
    m_answer = writeFile(m_dir, QStringLiteral("two.ico"), twoEntryIcon());
    QSignalSpy changed(m_page, &ppgSourceImage::Changed);
    m_page->cmdBrowse->click();
    QCOMPARE(m_askedTitle, QStringLiteral("Select Image"));
    QVERIFY(m_askedFilter.startsWith(QStringLiteral("Image Files (")));
    QCOMPARE(changed.count(), 1);
    QVERIFY(m_page->isChanged());
    QCOMPARE(m_control->picture().Width(), 32);
    QVERIFY(m_page->cboIcon->isVisible());
    QVERIFY(!m_page->lblDescription->isVisible());
    QCOMPARE(itemTexts(m_page->cboIcon),
             (QStringList{"016x016 {4 bit, 16 colors}", "032x032 {32 bit, True Color Alpha}"}));
    // The control is 32 x 32, so that entry was loaded and is the one selected.
    QCOMPARE(m_page->cboIcon->currentIndex(), 1);
  }

  void choosingAnIconEntryLoadsThatEntry() {
    m_answer = writeFile(m_dir, QStringLiteral("two.ico"), twoEntryIcon());
    m_page->cmdBrowse->click();
    QSignalSpy changed(m_page, &ppgSourceImage::Changed);
    emit m_page->cboIcon->activated(0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_control->picture().Width(), 16);
    QCOMPARE(m_control->picture().Height(), 16);
    QCOMPARE(m_page->cboIcon->count(), 2);
    QCOMPARE(m_page->cboIcon->currentIndex(), 0);
    emit m_page->cboIcon->activated(1);
    QCOMPARE(m_control->picture().Width(), 32);
    QCOMPARE(m_page->cboIcon->currentIndex(), 1);
  }

  void browseDescribesAPng() {
    m_answer = testsupport::dataDir() + QStringLiteral("/pngsuite/basn6a08.png");
    m_page->cmdBrowse->click();
    QVERIFY(!m_page->cboIcon->isVisible());
    QVERIFY(m_page->lblDescription->isVisible());
    QCOMPARE(m_page->lblDescription->text(), QStringLiteral("32 x 32 - PNG file"));
  }

  void cancelledBrowseChangesNothing() {
    m_answer = testsupport::dataDir() + QStringLiteral("/pngsuite/basn6a08.png");
    m_page->cmdBrowse->click();
    m_page->setChanged(false);
    m_answer.clear();
    QSignalSpy changed(m_page, &ppgSourceImage::Changed);
    m_page->cmdBrowse->click();
    QCOMPARE(changed.count(), 0);
    QVERIFY(!m_page->isChanged());
    QCOMPARE(m_page->lblDescription->text(), QStringLiteral("32 x 32 - PNG file"));
  }

  void clearImageEmptiesControlAndPage() {
    m_answer = writeFile(m_dir, QStringLiteral("two.ico"), twoEntryIcon());
    m_page->cmdBrowse->click();
    QSignalSpy changed(m_page, &ppgSourceImage::Changed);
    m_page->Command1->click();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_control->picture().Handle(), uintptr_t{0});
    QVERIFY(!m_page->cboIcon->isVisible());
    QCOMPARE(m_page->cboIcon->count(), 0);
    QVERIFY(m_page->lblDescription->text().isEmpty());
  }

  void fromClipboardLoadsTheClipboardPicture() {
    QImage picture(12, 7, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 40, 10, 255));
    QGuiApplication::clipboard()->setImage(picture);
    QSignalSpy changed(m_page, &ppgSourceImage::Changed);
    m_page->cmdClipBoard->click();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_control->picture().Width(), 12);
    QCOMPARE(m_control->picture().Height(), 7);
    QVERIFY(m_page->lblDescription->text().startsWith(QStringLiteral("12 x 7 - ")));
    QGuiApplication::clipboard()->clear();
  }

  void pageWithoutControlOffersNothing() {
    m_page->setSelectedControl(nullptr);
    QVERIFY(!m_page->cmdBrowse->isEnabled());
    QVERIFY(!m_page->cmdClipBoard->isEnabled());
    QVERIFY(!m_page->Command1->isEnabled());
    QCOMPARE(m_page->cmdBrowse->text(), QStringLiteral("Browse"));
    QCOMPARE(m_page->cmdClipBoard->text(), QStringLiteral("From Clipboard"));
    QCOMPARE(m_page->Command1->text(), QStringLiteral("Clear Image"));
  }

 private:
  QTemporaryDir m_dir;
  std::unique_ptr<QWidget> m_host;
  aicAlphaImage* m_control = nullptr;
  ppgSourceImage* m_page = nullptr;
  QString m_answer;
  QString m_askedTitle;
  QString m_askedFilter;
};

QTEST_MAIN(SourceImagePageTest)
#include "sourcepage_test.moc"
