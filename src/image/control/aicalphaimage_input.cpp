// Mouse, keys, drag and drop, and the enter/exit tracking shared with the other
// image controls of the window.
//
// Mouse positions outside the hit area are not this control's: their events
// are ignored so that they travel on to the parent, the way a shaped window
// would let them through. Key codes are the platform's virtual-key numbers:
// letters and digits are their upper-case ASCII codes, the rest follow the
// table below; keys without a number there are not reported.
#include "image/control/aicalphaimage.h"

#include "image/control/ccrosscomm.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <array>
#include <utility>

namespace {

constexpr int kExitCheckMs = 100;

// Button state: the low 4 bits hold the buttons pressed now, the next 4 the
// button of the last press-and-release. Bit 8 marks the press of a double
// click, whose release reports no second Click.
constexpr uint16_t kPressedMask = 0x000F;
constexpr uint16_t kReleasedShift = 4;
constexpr uint16_t kDoubleClickPress = 0x0100;

// Drag states of OLEDragOver.
constexpr int16_t kDragEnter = 0;
constexpr int16_t kDragLeave = 1;
constexpr int16_t kDragOver = 2;

constexpr int16_t kShift = 1, kCtrl = 2, kAlt = 4;

uint16_t buttonBit(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

uint16_t buttonBits(Qt::MouseButtons buttons) {
  uint16_t bits = 0;
  for (const Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    if (buttons & b) bits |= buttonBit(b);
  }
  return bits;
}

// Virtual-key numbers of the keys that are neither letters nor digits.
constexpr std::array<std::pair<int, int16_t>, 44> kVirtualKeys{{
    {Qt::Key_Backspace, 8},    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},      {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},      {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},       {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},         {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},       {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},        {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},          {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},        {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},      {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},        {Qt::Key_Meta, 91},
    {Qt::Key_Menu, 93},        {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145}, {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},      {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},       {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},       {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189}, {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},   {Qt::Key_BracketLeft, 219},
    {Qt::Key_Backslash, 220},  {Qt::Key_BracketRight, 221},
}};

constexpr int16_t kFunctionKeyBase = 112;  // F1
constexpr int16_t kKeypadDigitBase = 96;   // keypad 0

int16_t keypadCode(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    return static_cast<int16_t>(kKeypadDigitBase + key - Qt::Key_0);
  }
  switch (key) {
    case Qt::Key_Asterisk:
      return 106;
    case Qt::Key_Plus:
      return 107;
    case Qt::Key_Minus:
      return 109;
    case Qt::Key_Period:
      return 110;
    case Qt::Key_Comma:
      return 110;
    case Qt::Key_Slash:
      return 111;
    default:
      return 0;
  }
}

int16_t virtualKeyCode(const QKeyEvent& event) {
  const int key = event.key();
  if (event.modifiers() & Qt::KeypadModifier) {
    if (const int16_t code = keypadCode(key)) return code;
  }
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    return static_cast<int16_t>(key);  // Qt's numbers for these are their ASCII codes
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    return static_cast<int16_t>(kFunctionKeyBase + key - Qt::Key_F1);
  }
  if (key == Qt::Key_QuoteLeft || key == Qt::Key_AsciiTilde) return 192;
  if (key == Qt::Key_Apostrophe || key == Qt::Key_QuoteDbl) return 222;
  for (const auto& [qtKey, code] : kVirtualKeys) {
    if (qtKey == key) return code;
  }
  return 0;
}

// The button of a press on the picture; 0, with the event passed on to the
// parent, for a press outside the hit area or of a button without a number.
uint16_t buttonPressedOnPicture(const aicAlphaImage& control, QMouseEvent* event) {
  const uint16_t button = buttonBit(event->button());
  if (button == 0 || !control.isHit(event->position().toPoint())) {
    event->ignore();
    return 0;
  }
  return button;
}

// The button of the last press-and-release, as Click and DblClick report it.
int16_t releasedButton(uint16_t state) {
  return static_cast<int16_t>((state >> kReleasedShift) & kPressedMask);
}

}  // namespace

// --- Mouse.

void aicAlphaImage::mousePressEvent(QMouseEvent* event) {
  const uint16_t button = buttonPressedOnPicture(*this, event);
  if (button == 0) return;
  const QPoint pos = event->position().toPoint();
  takeMouseCapture();
  m_buttonState = static_cast<uint16_t>((m_buttonState & ~kDoubleClickPress) | button);
  emit MouseDown(static_cast<int16_t>(button), shiftState(event->modifiers()),
                 toContainerUnits(pos.x()), toContainerUnits(pos.y()));
}

void aicAlphaImage::mouseDoubleClickEvent(QMouseEvent* event) {
  const uint16_t button = buttonPressedOnPicture(*this, event);
  if (button == 0) return;
  takeMouseCapture();
  m_buttonState = static_cast<uint16_t>(m_buttonState | button | kDoubleClickPress);
  emit DblClick(releasedButton(m_buttonState));
}

void aicAlphaImage::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const uint16_t button = buttonBit(event->button());
  // Only a button pressed on this control is released here.
  if (button == 0 || (m_buttonState & button) == 0) {
    event->ignore();
    return;
  }
  const bool secondOfDoubleClick = (m_buttonState & kDoubleClickPress) != 0;
  m_buttonState = static_cast<uint16_t>(((m_buttonState & kPressedMask) & ~button) |
                                        (button << kReleasedShift));
  emit MouseUp(static_cast<int16_t>(button), shiftState(event->modifiers()),
               toContainerUnits(pos.x()), toContainerUnits(pos.y()));
  if (!secondOfDoubleClick && isHit(pos)) {
    emit Click(releasedButton(m_buttonState));
  }
}

void aicAlphaImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const bool dragging = (m_buttonState & kPressedMask) != 0;
  if (isHit(pos)) {
    takeMouseCapture();
  } else if (!dragging) {
    event->ignore();
    return;
  }
  emit MouseMove(static_cast<int16_t>(m_buttonState & kPressedMask), shiftState(event->modifiers()),
                 toContainerUnits(pos.x()), toContainerUnits(pos.y()));
}

// --- Keys.

void aicAlphaImage::keyPressEvent(QKeyEvent* event) {
  if (const int16_t code = virtualKeyCode(*event)) {
    emit KeyDown(code, shiftState(event->modifiers()));
  }
  const QString text = event->text();
  if (!text.isEmpty()) emit KeyPress(static_cast<int16_t>(text.at(0).unicode()));
}

void aicAlphaImage::keyReleaseEvent(QKeyEvent* event) {
  // A held key repeats its KeyDown and KeyPress only; KeyUp comes once at the end.
  if (event->isAutoRepeat()) return;
  if (const int16_t code = virtualKeyCode(*event)) {
    emit KeyUp(code, shiftState(event->modifiers()));
  }
}

// --- Drag and drop (drop mode 1, manual). The effect is the proposed drop
// action, whose copy/move/link numbers are the platform's drop effects.

void aicAlphaImage::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void aicAlphaImage::dragMoveEvent(QDragMoveEvent* event) {
  if (m_oleDropMode != 1) {
    event->ignore();
    return;
  }
  const QPoint pos = event->position().toPoint();
  // Entering and moving over the control report alike; only the state differs.
  const int16_t state = event->type() == QEvent::DragEnter ? kDragEnter : kDragOver;
  emit OLEDragOver(event->mimeData(), static_cast<int32_t>(event->proposedAction()),
                   static_cast<int16_t>(buttonBits(event->buttons())),
                   shiftState(event->modifiers()), toContainerUnits(pos.x()),
                   toContainerUnits(pos.y()), state);
  event->acceptProposedAction();
}

// The window system tells nothing but the leaving itself: no data, no
// buttons; the position is the cursor's.
void aicAlphaImage::dragLeaveEvent(QDragLeaveEvent* event) {
  if (m_oleDropMode != 1) {
    event->ignore();
    return;
  }
  const QPoint pos = mapFromGlobal(QCursor::pos());
  emit OLEDragOver(nullptr, 0, 0, shiftState(QApplication::keyboardModifiers()),
                   toContainerUnits(pos.x()), toContainerUnits(pos.y()), kDragLeave);
}

void aicAlphaImage::dropEvent(QDropEvent* event) {
  if (m_oleDropMode != 1) {
    event->ignore();
    return;
  }
  const QPoint pos = event->position().toPoint();
  emit OLEDragDrop(event->mimeData(), static_cast<int32_t>(event->proposedAction()),
                   static_cast<int16_t>(buttonBits(event->buttons())),
                   shiftState(event->modifiers()), toContainerUnits(pos.x()),
                   toContainerUnits(pos.y()));
  event->acceptProposedAction();
}

// --- State changes.

void aicAlphaImage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  switch (event->type()) {
    case QEvent::EnabledChange:
      rebuildHitArea();
      break;
    case QEvent::ParentChange:
      // Another window means another link; it is found again on next use.
      detachCrossComm();
      break;
    case QEvent::PaletteChange:
      // A system shadow colour follows the palette.
      if (ShadowEnabled() && (static_cast<uint32_t>(m_shadowColor) & 0x80000000u) != 0) {
        rebuildShadow();
      }
      break;
    default:
      break;
  }
}

// --- Enter and exit.

bool aicAlphaImage::isMouseOver() const {
  return m_crossComm && m_crossComm->captureHolder() == this;
}

void aicAlphaImage::takeMouseCapture() {
  cCrossComm* link = crossComm();
  if (!link || link->captureHolder() == this) return;
  link->SetCapture(this);
  m_exitTimer.start(kExitCheckMs, this);
  emit MouseEnter();
}

void aicAlphaImage::checkMouseStillOver() {
  m_exitTimer.stop();
  if (!isMouseOver()) return;
  const QPoint global = QCursor::pos();
  if (QApplication::widgetAt(global) == this && isHit(mapFromGlobal(global))) {
    m_exitTimer.start(kExitCheckMs, this);
    return;
  }
  m_crossComm->ReleaseCapture(this);
  emit MouseExit();
}

void aicAlphaImage::ReleaseMouseCapture() {
  const bool wasOver = m_exitTimer.isActive() || isMouseOver();
  m_exitTimer.stop();
  if (isMouseOver()) m_crossComm->ReleaseCapture(this);
  if (wasOver) emit MouseExit();
}

cCrossComm* aicAlphaImage::crossComm() {
  if (!m_crossComm) m_crossComm = cCrossComm::ForWindow(window());
  return m_crossComm;
}

void aicAlphaImage::detachCrossComm() {
  m_exitTimer.stop();
  if (!m_crossComm) return;
  cCrossComm* link = std::exchange(m_crossComm, nullptr);
  link->ReleaseCapture(this);
  link->RemoveRef();
}

// --- Units.

// Pixels in the container's scale mode, at the platform's 96 pixels an inch.
float aicAlphaImage::toContainerUnits(int pixels) const {
  const auto value = static_cast<float>(pixels);
  switch (m_renderMode) {
    case ContainerScaleMode::kTwips:
      return value * 15.0f;
    case 2:
      return value * 0.75f;  // points
    case 5:
      return value / 96.0f;  // inches
    case 6:
      return value * 25.4f / 96.0f;  // millimetres
    case 7:
      return value * 2.54f / 96.0f;  // centimetres
    default:
      return value;  // pixels, and modes without a fixed unit
  }
}

int16_t aicAlphaImage::shiftState(Qt::KeyboardModifiers modifiers) const {
  int16_t state = 0;
  if (modifiers & Qt::ShiftModifier) state |= kShift;
  if (modifiers & Qt::ControlModifier) state |= kCtrl;
  if (modifiers & Qt::AltModifier) state |= kAlt;
  return state;
}
