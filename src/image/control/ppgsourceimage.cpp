// The source image page of the designer: loads, clears and re-picks the
// picture of the selected image control and describes it.
#include "image/control/ppgsourceimage.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "image/cgdiplus.h"
#include "image/control/aicalphaimage.h"
#include "image/imagetype.h"

namespace {

const QString kDialogTitle = QStringLiteral("Select Image");

// Colour counts with a name of their own in an icon entry.
constexpr int32_t kTrueColorCount = -16777216;
constexpr int32_t kTrueColorAlphaCount = -1;
constexpr int32_t kHighColorCount = 16776960;

bool isIconOrCursor(int32_t imageType) {
  using namespace ImageTypeCode;
  return imageType == kIcon || imageType == kCursor || imageType == kAlphaIcon ||
         imageType == kPngIcon || imageType == kAlphaCursor;
}

QString colorCountText(int32_t colorCount) {
  switch (colorCount) {
    case kTrueColorCount:
      return QStringLiteral("True Color");
    case kTrueColorAlphaCount:
      return QStringLiteral("True Color Alpha");
    case kHighColorCount:
      return QStringLiteral("High Color");
    default:
      return QStringLiteral("%1 colors").arg(colorCount);
  }
}

}  // namespace

std::vector<SourceImageFilter> sourceImageFilters(bool imageServiceAvailable) {
  QString allImages = QStringLiteral("*gif;*.bmp;*.jpg;*.jpeg;*.ico;*.cur;*.wmf;*.emf;*.png");
  if (imageServiceAvailable) allImages += QStringLiteral(";*.tiff");
  std::vector<SourceImageFilter> filters = {
      {QStringLiteral("Image Files"), allImages},
      {QStringLiteral("Bitmaps"), QStringLiteral("*.bmp")},
      {QStringLiteral("GIF Images"), QStringLiteral("*.gif")},
      {QStringLiteral("Icons and Cursors"), QStringLiteral("*.ico;*.cur")},
      {QStringLiteral("JPGs"), QStringLiteral("*.jpg;*.jpeg")},
      {QStringLiteral("Meta Files"), QStringLiteral("*.wmf;*.emf")},
      {QStringLiteral("PNG Images"), QStringLiteral("*.png")},
  };
  if (imageServiceAvailable) filters.push_back({QStringLiteral("Tiff"), QStringLiteral("*.tiff")});
  filters.push_back({QStringLiteral("All Files"), QStringLiteral("*.*")});
  return filters;
}

QString fileDialogFilterString(const std::vector<SourceImageFilter>& filters) {
  QStringList parts;
  for (const SourceImageFilter& filter : filters) {
    // The dialog separates patterns by spaces inside the parentheses.
    QString patterns = filter.patterns;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Here "*.*" would hide every file without a dot in its name, so
    // "All Files" asks for what it says.
    if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
    parts.append(QStringLiteral("%1 (%2)").arg(filter.label, patterns));
  }
  return parts.join(QStringLiteral(";;"));
}

QString iconEntryText(int32_t width, int32_t height, int32_t bitDepth, int32_t colorCount) {
  return QStringLiteral("%1x%2 {%3 bit, %4}")
      .arg(width, 3, 10, QLatin1Char('0'))
      .arg(height, 3, 10, QLatin1Char('0'))
      .arg(bitDepth)
      .arg(colorCountText(colorCount));
}

QString pictureKindText(int32_t imageType, bool alpha) {
  using namespace ImageTypeCode;
  switch (imageType) {
    case kBitmap:
      return QStringLiteral("Bitmap or JPG file");
    case kMetafile:
    case kEnhancedMetafile:
      return QStringLiteral("Windows Meta File");
    case kStraightAlphaBitmap:
    case kPremultipliedBitmap:
      return QStringLiteral("Alpha Bitmap");
    case kGif:
      return alpha ? QStringLiteral("Transparent GIF") : QStringLiteral("GIF file");
    case kPng:
      return QStringLiteral("PNG file");
    default:
      return QString();
  }
}

QString pictureDescription(int32_t width, int32_t height, int32_t imageType, bool alpha) {
  const QString size = QStringLiteral("%1 x %2").arg(width).arg(height);
  const QString kind = pictureKindText(imageType, alpha);
  return kind.isEmpty() ? size : size + QStringLiteral(" - ") + kind;
}

ppgSourceImage::ppgSourceImage(QWidget* parent)
    : QWidget(parent), m_fileChooser(&ppgSourceImage::defaultFileChooser) {
  setObjectName(QStringLiteral("ppgSourceImage"));
  createButtons();
  createIconList();
  createDescription();
  layoutElements();
  setSelectedControl(nullptr);
}

ppgSourceImage::~ppgSourceImage() = default;

void ppgSourceImage::createButtons() {
  cmdBrowse = new QPushButton(QStringLiteral("Browse"), this);
  cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
  cmdClipBoard = new QPushButton(QStringLiteral("From Clipboard"), this);
  cmdClipBoard->setObjectName(QStringLiteral("cmdClipBoard"));
  Command1 = new QPushButton(QStringLiteral("Clear Image"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  connect(cmdBrowse, &QPushButton::clicked, this, &ppgSourceImage::cmdBrowse_Click);
  connect(cmdClipBoard, &QPushButton::clicked, this, &ppgSourceImage::cmdClipBoard_Click);
  connect(Command1, &QPushButton::clicked, this, &ppgSourceImage::Command1_Click);
}

void ppgSourceImage::createIconList() {
  cboIcon = new QComboBox(this);
  cboIcon->setObjectName(QStringLiteral("cboIcon"));
  cboIcon->setEditable(false);
  cboIcon->setVisible(false);
  // Only a choice of the user reloads the picture, not a refill of the list.
  connect(cboIcon, &QComboBox::activated, this, &ppgSourceImage::cboIcon_Click);
}

void ppgSourceImage::createDescription() {
  lblDescription = new QLabel(this);
  lblDescription->setObjectName(QStringLiteral("lblDescription"));
}

void ppgSourceImage::layoutElements() {
  auto* grid = new QGridLayout(this);
  grid->addWidget(cmdBrowse, 0, 0);
  grid->addWidget(cmdClipBoard, 0, 1);
  grid->addWidget(Command1, 0, 2);
  // The list and the label share one place: only one of them is shown.
  grid->addWidget(cboIcon, 1, 0, 1, 3);
  grid->addWidget(lblDescription, 2, 0, 1, 3);
  grid->setRowStretch(3, 1);
}

void ppgSourceImage::setSelectedControl(aicAlphaImage* control) {
  m_control = control;
  m_chosenEntry = -1;
  const bool hasControl = control != nullptr;
  cmdBrowse->setEnabled(hasControl);
  cmdClipBoard->setEnabled(hasControl);
  Command1->setEnabled(hasControl);
  refreshDisplay();
}

void ppgSourceImage::setFileChooser(FileChooser chooser) {
  m_fileChooser = chooser ? std::move(chooser) : FileChooser(&ppgSourceImage::defaultFileChooser);
}

QString ppgSourceImage::defaultFileChooser(QWidget* parent, const QString& title,
                                           const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

void ppgSourceImage::cmdBrowse_Click() {
  if (!m_control) return;
  const QString filter = fileDialogFilterString(sourceImageFilters(cGDIPlus::isGDIplusOk()));
  const QString fileName = m_fileChooser(this, kDialogTitle, filter);
  if (fileName.isEmpty()) return;
  m_control->ClearImage();
  m_control->LoadImage_FromFile(fileName, m_control->width(), m_control->height());
  m_chosenEntry = -1;
  refreshDisplay();
  markChanged();
}

void ppgSourceImage::cmdClipBoard_Click() {
  if (!m_control) return;
  m_control->ClearImage();
  m_control->LoadImage_FromClipboard();
  m_chosenEntry = -1;
  refreshDisplay();
  markChanged();
}

void ppgSourceImage::Command1_Click() {
  if (!m_control) return;
  m_control->ClearImage();
  m_chosenEntry = -1;
  refreshDisplay();
  markChanged();
}

void ppgSourceImage::cboIcon_Click(int index) {
  if (!m_control || index < 0 || static_cast<size_t>(index) >= m_iconSizes.size()) return;
  const std::array<int32_t, 4> entry = m_iconSizes[static_cast<size_t>(index)];
  m_chosenEntry = index;
  m_control->LoadImage_FromOrignalBytes(entry[0], entry[1], entry[2]);
  refreshDisplay();
  markChanged();
}

void ppgSourceImage::markChanged() {
  m_changed = true;
  emit Changed();
}

void ppgSourceImage::refreshDisplay() {
  m_iconSizes.clear();
  cboIcon->clear();
  const c32bppDIB* picture = m_control ? &m_control->picture() : nullptr;
  if (picture == nullptr || picture->Handle() == 0) {
    cboIcon->setVisible(false);
    lblDescription->setVisible(true);
    lblDescription->clear();
    return;
  }
  std::vector<std::array<int32_t, 4>> sizes;
  if (isIconOrCursor(picture->ImageType()) && picture->SourceIconSizes(sizes) > 0) {
    fillIconList(sizes);
    lblDescription->setVisible(false);
    cboIcon->setVisible(true);
    return;
  }
  cboIcon->setVisible(false);
  lblDescription->setVisible(true);
  lblDescription->setText(pictureDescription(picture->Width(), picture->Height(),
                                             picture->ImageType(), picture->Alpha()));
}

void ppgSourceImage::fillIconList(const std::vector<std::array<int32_t, 4>>& sizes) {
  m_iconSizes = sizes;
  for (const auto& [width, height, depth, colors] : sizes) {
    cboIcon->addItem(iconEntryText(width, height, depth, colors));
  }
  // The entry of the picture's current size; of several such entries the one
  // the user chose last.
  const int32_t width = m_control->picture().Width();
  const int32_t height = m_control->picture().Height();
  auto matches = [&](int index) {
    const auto& entry = m_iconSizes[static_cast<size_t>(index)];
    return entry[0] == width && entry[1] == height;
  };
  int current = -1;
  if (m_chosenEntry >= 0 && m_chosenEntry < cboIcon->count() && matches(m_chosenEntry)) {
    current = m_chosenEntry;
  } else {
    for (int i = 0; i < cboIcon->count() && current < 0; ++i) {
      if (matches(i)) current = i;
    }
  }
  cboIcon->setCurrentIndex(current);
}
