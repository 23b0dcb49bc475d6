#pragma once
// The designer's window: the image controls of one form on the left (every
// control bag of the form data file; "New control" adds one by name), the
// selected control live in design mode at its size on the window, the source
// image page under it and the property editors on the right. Switching
// controls and saving write the shown control back into its bag first.
#include <QSize>
#include <QString>
#include <QWidget>

#include "platform/formdata.h"

class PropertyPanel;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class aicAlphaImage;
class ppgSourceImage;

class DesignerWindow : public QWidget {
  Q_OBJECT

 public:
  explicit DesignerWindow(const QSize& controlSize, QWidget* parent = nullptr);

  // Opens a form data file; a file that does not exist yet opens an empty
  // form that is saved there. False (form unchanged) for an unreadable file.
  bool openForm(const QString& path, QString* error = nullptr);
  // Shows the named control of the form, creating its bag when new.
  void selectControl(const QString& name);
  bool save(QString* error = nullptr);

  const FormData& form() const { return m_form; }
  aicAlphaImage* shownControl() const { return m_control; }
  ppgSourceImage* sourcePage() const { return m_page; }
  PropertyPanel* propertyPanel() const { return m_panel; }
  bool isModified() const { return m_modified; }

 private slots:
  void addNamedControl();
  void openClicked();
  void saveClicked();
  void controlListChanged();

 private:
  QWidget* createFormBar();
  QWidget* createControlList();
  QWidget* createPreview();
  QWidget* createSourcePage();
  QWidget* createPropertyPanel();
  void fillControlList();
  // Writes the shown control into its bag.
  void storeShownControl();
  void showControl(const QString& name);
  void setModified(bool modified);
  void updateTitle();

  FormData m_form;
  QString m_formPath;
  QString m_shownName;
  QSize m_controlSize;
  bool m_modified = false;

  QLabel* m_formLabel = nullptr;
  QListWidget* m_controlList = nullptr;
  QLineEdit* m_newName = nullptr;
  QPushButton* m_newButton = nullptr;
  QWidget* m_previewArea = nullptr;
  aicAlphaImage* m_control = nullptr;
  ppgSourceImage* m_page = nullptr;
  PropertyPanel* m_panel = nullptr;
};
