#pragma once
// ppgSourceImage: the design-time page that gives an aicAlphaImage its
// picture. It loads a picture from a file or the clipboard into the selected
// control, clears it, lets the designer pick another entry of a multi-image
// icon or cursor file, and says what kind of picture is loaded. Every load or
// clear marks the page changed and emits Changed, so the host knows the
// control's stored form must be written again.
//
// The open-file dialog is a seam (setFileChooser) so that a test or a batch
// run can drive "Browse" without a modal dialog.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class aicAlphaImage;

// One entry of the open-file dialog's filter list: its label and its
// semicolon-separated patterns.
struct SourceImageFilter {
  QString label;
  QString patterns;
  bool operator==(const SourceImageFilter&) const = default;
};

// The dialog's filter list in its order; "Tiff" only when the system image
// service is available to decode it.
std::vector<SourceImageFilter> sourceImageFilters(bool imageServiceAvailable);
// The list in the form a QFileDialog takes ("Label (*.a *.b);;...").
QString fileDialogFilterString(const std::vector<SourceImageFilter>& filters);
// The text of one icon entry, e.g. "032x032 {32 bit, True Color Alpha}".
QString iconEntryText(int32_t width, int32_t height, int32_t bitDepth, int32_t colorCount);
// The kind of a loaded picture by its ImageType and alpha flag; empty for
// kinds that have no description (icons and cursors are listed instead).
QString pictureKindText(int32_t imageType, bool alpha);
// "W x H - kind", or "W x H" for a picture of no known kind.
QString pictureDescription(int32_t width, int32_t height, int32_t imageType, bool alpha);

class ppgSourceImage : public QWidget {
  Q_OBJECT

 public:
  // Asks for a file to open; an empty result means the user cancelled.
  using FileChooser =
      std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;

  explicit ppgSourceImage(QWidget* parent = nullptr);
  ~ppgSourceImage() override;

  // The control the page works on (may be null: the page is then disabled).
  void setSelectedControl(aicAlphaImage* control);
  aicAlphaImage* selectedControl() const { return m_control.data(); }

  // Replaces the platform's open-file dialog.
  void setFileChooser(FileChooser chooser);

  // Set by every load or clear; the host resets it after saving.
  bool isChanged() const { return m_changed; }
  void setChanged(bool changed) { m_changed = changed; }

  // Reads the selected control's picture again into the list and the label.
  void refreshDisplay();

  // The page's elements, named as the designer knows them.
  QPushButton* cmdBrowse = nullptr;
  QPushButton* cmdClipBoard = nullptr;
  QPushButton* Command1 = nullptr;
  QComboBox* cboIcon = nullptr;
  QLabel* lblDescription = nullptr;

 signals:
  void Changed();

 private slots:
  void cmdBrowse_Click();
  void cmdClipBoard_Click();
  void Command1_Click();
  void cboIcon_Click(int index);

 private:
  void createButtons();
  void createIconList();
  void createDescription();
  void layoutElements();
  void markChanged();
  void fillIconList(const std::vector<std::array<int32_t, 4>>& sizes);
  static QString defaultFileChooser(QWidget* parent, const QString& title, const QString& filter);

  QPointer<aicAlphaImage> m_control;
  FileChooser m_fileChooser;
  // The entries behind cboIcon: width, height, bit depth, colour count.
  std::vector<std::array<int32_t, 4>> m_iconSizes;
  // The entry last chosen, preferred when several entries share a size.
  int m_chosenEntry = -1;
  bool m_changed = false;
};
