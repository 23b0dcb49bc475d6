#include "designerwindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "designercontrol.h"
#include "designeroptions.h"
#include "image/control/aicalphaimage.h"
#include "image/control/ppgsourceimage.h"
#include "platform/formdata.h"
#include "propertypanel.h"

namespace {

// Room around the control so that a shadow reaching past it shows too.
constexpr int kPreviewMargin = 16;
const QString kFormFilter = QStringLiteral("Form data (*.vfd);;All Files (*)");

}  // namespace

DesignerWindow::DesignerWindow(const QSize& controlSize, QWidget* parent)
    : QWidget(parent), m_controlSize(controlSize) {
  setObjectName(QStringLiteral("DesignerWindow"));
  auto* columns = new QHBoxLayout;
  columns->addWidget(createControlList());
  auto* middle = new QVBoxLayout;
  middle->addWidget(createPreview());
  middle->addWidget(createSourcePage());
  middle->addStretch(1);
  columns->addLayout(middle, 1);
  columns->addWidget(createPropertyPanel());
  auto* window = new QVBoxLayout(this);
  window->addWidget(createFormBar());
  window->addLayout(columns, 1);
  updateTitle();
}

QWidget* DesignerWindow::createFormBar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  m_formLabel = new QLabel(bar);
  auto* open = new QPushButton(QStringLiteral("Open..."), bar);
  auto* saveButton = new QPushButton(QStringLiteral("Save"), bar);
  saveButton->setObjectName(QStringLiteral("saveButton"));
  connect(open, &QPushButton::clicked, this, &DesignerWindow::openClicked);
  connect(saveButton, &QPushButton::clicked, this, &DesignerWindow::saveClicked);
  row->addWidget(m_formLabel, 1);
  row->addWidget(open);
  row->addWidget(saveButton);
  return bar;
}

QWidget* DesignerWindow::createControlList() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  m_controlList = new QListWidget(panel);
  m_controlList->setObjectName(QStringLiteral("controlList"));
  connect(m_controlList, &QListWidget::currentTextChanged, this,
          &DesignerWindow::controlListChanged);
  m_newName = new QLineEdit(panel);
  m_newName->setObjectName(QStringLiteral("newControlName"));
  m_newName->setPlaceholderText(QStringLiteral("Control name"));
  m_newButton = new QPushButton(QStringLiteral("New control"), panel);
  m_newButton->setObjectName(QStringLiteral("newControlButton"));
  connect(m_newButton, &QPushButton::clicked, this, &DesignerWindow::addNamedControl);
  connect(m_newName, &QLineEdit::returnPressed, this, &DesignerWindow::addNamedControl);
  column->addWidget(m_controlList, 1);
  column->addWidget(m_newName);
  column->addWidget(m_newButton);
  panel->setMinimumWidth(160);
  panel->setMaximumWidth(220);
  return panel;
}

QWidget* DesignerWindow::createPreview() {
  // A plain window-coloured area, as the control's own window would be.
  m_previewArea = new QWidget(this);
  m_previewArea->setObjectName(QStringLiteral("preview"));
  m_previewArea->setAutoFillBackground(true);
  m_previewArea->setFixedSize(m_controlSize + QSize(2 * kPreviewMargin, 2 * kPreviewMargin));
  return m_previewArea;
}

QWidget* DesignerWindow::createSourcePage() {
  m_page = new ppgSourceImage(this);
  connect(m_page, &ppgSourceImage::Changed, this, [this] {
    m_panel->refresh();
    setModified(true);
  });
  return m_page;
}

QWidget* DesignerWindow::createPropertyPanel() {
  m_panel = new PropertyPanel(this);
  connect(m_panel, &PropertyPanel::Edited, this, [this] { setModified(true); });
  return m_panel;
}

bool DesignerWindow::openForm(const QString& path, QString* error) {
  std::optional<FormData> form = openDesignerForm(path, error);
  if (!form) return false;
  m_form = std::move(*form);
  m_formPath = path;
  m_shownName.clear();
  fillControlList();
  if (m_controlList->count() > 0)
    m_controlList->setCurrentRow(0);
  else
    showControl(QString());
  setModified(false);
  return true;
}

void DesignerWindow::fillControlList() {
  const QSignalBlocker blocker(m_controlList);
  m_controlList->clear();
  m_controlList->addItems(m_form.controlNames());
}

void DesignerWindow::selectControl(const QString& name) {
  if (!isValidFormDataName(name)) return;
  if (m_form.find(name) == nullptr) {
    storeShownControl();
    m_form.control(name);
    fillControlList();
    setModified(true);
  }
  const QList<QListWidgetItem*> items = m_controlList->findItems(name, Qt::MatchExactly);
  if (!items.isEmpty()) m_controlList->setCurrentItem(items.first());
  if (m_shownName != name) showControl(name);
}

void DesignerWindow::addNamedControl() {
  const QString name = m_newName->text().trimmed();
  if (!isValidFormDataName(name)) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("A control name is one word of printable characters."));
    return;
  }
  selectControl(name);
  m_newName->clear();
}

void DesignerWindow::controlListChanged() {
  const QString name =
      m_controlList->currentItem() ? m_controlList->currentItem()->text() : QString();
  if (name != m_shownName) showControl(name);
}

void DesignerWindow::storeShownControl() {
  if (m_control == nullptr || m_shownName.isEmpty()) return;
  storeDesignControl(*m_control, m_form.control(m_shownName));
}

void DesignerWindow::showControl(const QString& name) {
  storeShownControl();
  m_page->setSelectedControl(nullptr);
  m_panel->setControl(nullptr);
  delete m_control;
  m_control = nullptr;
  m_shownName = name;
  const PropertyBag* bag = name.isEmpty() ? nullptr : m_form.find(name);
  if (bag != nullptr) {
    m_control = createDesignControl(m_previewArea, m_controlSize, *bag);
    m_control->move(kPreviewMargin, kPreviewMargin);
    m_control->show();
    connect(m_control, &aicAlphaImage::PropertyChanged, this, [this] { setModified(true); });
  }
  m_page->setSelectedControl(m_control);
  m_panel->setControl(m_control);
}

bool DesignerWindow::save(QString* error) {
  if (m_formPath.isEmpty()) {
    if (error) *error = QStringLiteral("no form file chosen");
    return false;
  }
  storeShownControl();
  if (!saveFormDataFile(m_formPath, m_form, error)) return false;
  m_page->setChanged(false);
  setModified(false);
  return true;
}

void DesignerWindow::openClicked() {
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Open Form"), QString(), kFormFilter);
  if (path.isEmpty()) return;
  QString error;
  if (!openForm(path, &error)) QMessageBox::warning(this, windowTitle(), error);
}

void DesignerWindow::saveClicked() {
  if (m_formPath.isEmpty()) {
    m_formPath =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Form"), QString(), kFormFilter);
    if (m_formPath.isEmpty()) return;
  }
  QString error;
  if (!save(&error))
    QMessageBox::warning(this, windowTitle(), m_formPath + QStringLiteral(": ") + error);
}

void DesignerWindow::setModified(bool modified) {
  m_modified = modified;
  updateTitle();
}

void DesignerWindow::updateTitle() {
  const QString file =
      m_formPath.isEmpty() ? QStringLiteral("(new form)") : QFileInfo(m_formPath).fileName();
  m_formLabel->setText(m_formPath.isEmpty() ? file : m_formPath);
  setWindowTitle(QStringLiteral("%1%2 - Vantrel designer")
                     .arg(file, m_modified ? QStringLiteral(" *") : QString()));
}
