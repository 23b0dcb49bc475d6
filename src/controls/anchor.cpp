#include "controls/anchor.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <algorithm>

#include "platform/twips.h"

namespace {

// The Tag marker that follows the four anchor flags.
const QString kFlagsMarker = QStringLiteral("*/");
constexpr int kFlagCount = 4;
// Flags plus marker: the ordinary tag text starts after these.
constexpr int kFlagsPrefixLength = 6;

enum Side { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };

bool isAnchored(const QString& flags, Side side) {
  return side < flags.size() && flags.at(side) == QLatin1Char('T');
}

// True when some screen shows at least part of `frame`; a position remembered
// from a screen that is no longer attached would otherwise hide the window.
bool isOnSomeScreen(const QRect& frame) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return true;
  for (const QScreen* screen : screens) {
    if (screen->availableGeometry().intersects(frame)) return true;
  }
  return false;
}

QString settingsKey(const QString& section, const QString& key) {
  return section.isEmpty() ? key : section + QLatin1Char('/') + key;
}

}  // namespace

Anchor::Anchor(QWidget* window) : QObject(window), m_window(window ? window->window() : nullptr) {
  if (m_window) {
    m_window->installEventFilter(this);
    m_windowShown = m_window->isVisible();
  }
}

Anchor::~Anchor() { savePosition(); }

void Anchor::DoInit(std::optional<std::int32_t> minHeight, std::optional<std::int32_t> minWidth) {
  if (!m_window) return;
  m_following = true;
  restorePosition();
  readAnchorFlags();
  if (minHeight) m_minHeight = *minHeight;
  if (minWidth) m_minWidth = *minWidth;
  m_previousHeight = m_window->height();
  m_previousWidth = m_window->width();
}

void Anchor::DoResize() {
  if (!m_window || m_window->isMinimized()) return;

  const bool freezing = !m_dontRefresh;
  if (freezing) Freeze();

  // The size the window has, or is being given when it was below its minimum;
  // on some platforms a window takes a new size only some time after asking.
  QSize size = snapToMinimumSize();

  if (m_previousHeight != 0 && m_previousWidth != 0) {
    const int heightChange = size.height() - m_previousHeight;
    const int widthChange = size.width() - m_previousWidth;
    emit BeforeResize();
    moveControls(heightChange, widthChange);
    emit AfterResize(pixelsToTwips(heightChange), pixelsToTwips(widthChange));
  } else if (m_minHeight != 0) {
    // A pass before DoInit: nothing to move yet, but the window starts at its minimum.
    size = QSize(m_minWidth != 0 ? twipsToPixels(m_minWidth) : size.width(),
                 twipsToPixels(m_minHeight));
    m_window->resize(size);
  } else {
    m_minHeight = pixelsToTwips(size.height());
    m_minWidth = pixelsToTwips(size.width());
  }

  m_previousHeight = size.height();
  m_previousWidth = size.width();

  if (freezing) UnFreeze();
}

void Anchor::Freeze() {
  if (m_window) m_window->setUpdatesEnabled(false);
}

void Anchor::UnFreeze() {
  if (!m_window) return;
  m_window->setUpdatesEnabled(true);
  m_window->repaint();
}

void Anchor::About() {
  QMessageBox box(QMessageBox::Information, tr("About Anchor"),
                  tr("Anchor keeps the controls of a window on the edges their Tags name "
                     "while the window is resized, keeps the window above its smallest size "
                     "and remembers where the window was.\n\n%1")
                      .arg(QLatin1String(kProgrammaticId)),
                  QMessageBox::Ok, m_window);
  box.exec();
}

QString Anchor::flagsOf(const QWidget* control) const {
  for (const AnchoredControl& anchored : m_anchored) {
    if (anchored.control == control) return anchored.flags;
  }
  return QString();
}

bool Anchor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_window) {
    switch (event->type()) {
      case QEvent::Show:
        m_windowShown = true;
        break;
      case QEvent::Resize:
      case QEvent::WindowStateChange:
        // A window coming back from minimized gets no resize of its own, yet
        // may have changed size meanwhile.
        if (m_following) DoResize();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

std::optional<Anchor::SettingsPlace> Anchor::settingsPlace() const {
  const QStringList parts = m_regString.split(QLatin1Char(','));
  if (parts.size() < 3 || parts.at(0).isEmpty() || parts.at(2).isEmpty()) return std::nullopt;
  return SettingsPlace{parts.at(0), parts.at(1), parts.at(2) + QStringLiteral("Pos"),
                       parts.value(3)};
}

void Anchor::restorePosition() {
  const std::optional<SettingsPlace> place = settingsPlace();
  if (!place) return;
  const QSettings settings(place->application);
  const QString saved =
      settings.value(settingsKey(place->section, place->key), place->defaultValue).toString();

  const QStringList values = saved.split(QLatin1Char('|'));
  if (values.size() < 2) return;
  bool leftOk = false;
  bool topOk = false;
  const int left = values.at(0).trimmed().toInt(&leftOk);
  const int top = values.at(1).trimmed().toInt(&topOk);
  if (!leftOk || !topOk) return;

  const QPoint position(twipsToPixels(left), twipsToPixels(top));
  if (!isOnSomeScreen(QRect(position, m_window->frameGeometry().size()))) return;
  m_window->move(position);
}

void Anchor::savePosition() {
  if (!m_window || !m_windowShown) return;
  const Qt::WindowStates abnormal =
      Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
  if (m_window->windowState() & abnormal) return;
  const std::optional<SettingsPlace> place = settingsPlace();
  if (!place) return;

  QSettings settings(place->application);
  const QPoint position = m_window->pos();
  settings.setValue(
      settingsKey(place->section, place->key),
      QStringLiteral("%1|%2").arg(pixelsToTwips(position.x())).arg(pixelsToTwips(position.y())));
  settings.sync();
}

void Anchor::readAnchorFlags() {
  const QList<QWidget*> controls = m_window->findChildren<QWidget*>();
  for (QWidget* control : controls) {
    if (control->isWindow()) continue;
    const QString tag = control->property("Tag").toString();
    if (!tag.contains(kFlagsMarker)) continue;

    const QString flags = tag.left(kFlagCount);
    control->setProperty("Tag", tag.mid(kFlagsPrefixLength));
    // A second DoInit finds the Tags already stripped; the flags read the first
    // time stay, and a control given new flags takes them.
    auto known = std::find_if(
        m_anchored.begin(), m_anchored.end(),
        [control](const AnchoredControl& anchored) { return anchored.control == control; });
    if (known != m_anchored.end()) {
      known->flags = flags;
    } else {
      m_anchored.push_back({control, flags});
    }
  }
}

QSize Anchor::snapToMinimumSize() {
  QSize size = m_window->size();
  const QSize minimum(twipsToPixels(m_minWidth), twipsToPixels(m_minHeight));
  if (pixelsToTwips(size.height()) <= m_minHeight) size.setHeight(minimum.height());
  if (pixelsToTwips(size.width()) <= m_minWidth) size.setWidth(minimum.width());
  if (size != m_window->size()) m_window->resize(size);
  return size;
}

void Anchor::moveControls(int heightChange, int widthChange) {
  for (const AnchoredControl& anchored : m_anchored) {
    QWidget* control = anchored.control;
    if (!control) continue;
    const QString& flags = anchored.flags;
    const bool bottom = isAnchored(flags, kBottom);
    const bool right = isAnchored(flags, kRight);
    if (!bottom && !right) continue;

    QRect geometry = control->geometry();
    if (bottom) {
      if (isAnchored(flags, kTop)) {
        geometry.setHeight(geometry.height() + heightChange);
      } else {
        geometry.translate(0, heightChange);
      }
    }
    if (right) {
      if (isAnchored(flags, kLeft)) {
        geometry.setWidth(geometry.width() + widthChange);
      } else {
        geometry.translate(widthChange, 0);
      }
    }
    control->setGeometry(geometry);
  }
}
