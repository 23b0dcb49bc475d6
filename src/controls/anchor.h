#pragma once
// Anchor is an invisible control placed on a window (it is a child object of
// that window, not a widget). Once DoInit has run it follows the window's resize
// events and keeps the window's controls on the edges their anchor flags name,
// keeps the window above a minimum size, and remembers the window's position
// between runs in the user's settings.
//
// Anchor flags are written into each control's Tag (the QObject property "Tag"):
// four characters "T" or "F" for the left, top, right and bottom edge, then "*/",
// then the control's ordinary tag text, e.g. "TFTT*/status". DoInit takes the
// flags out and leaves the ordinary text in the Tag.
//
// Sizes and changes are in twips (15 twips = 1 pixel) and measure the window's
// client area; the remembered position is the window's outer left and top.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

class Anchor : public QObject {
  Q_OBJECT
  // Exposed as properties so a window's stored form data can set them by name.
  Q_PROPERTY(QString RegString READ RegString WRITE setRegString)
  Q_PROPERTY(bool DontRefresh READ DontRefresh WRITE setDontRefresh)
  Q_PROPERTY(int MinHeight READ MinHeight WRITE setMinHeight)
  Q_PROPERTY(int MinWidth READ MinWidth WRITE setMinWidth)

 public:
  // The name by which the control is known to the program's tools.
  static constexpr const char* kProgrammaticId = "Vantrel.Anchor";

  // The anchor belongs to `window`, whose controls it keeps in place.
  explicit Anchor(QWidget* window);
  // Saves the window's position when the window is in its normal state.
  ~Anchor() override;

  // "application,section,key stem,default": where the window's position is kept;
  // the key is the stem followed by "Pos", the value "left|top" in twips.
  QString RegString() const { return m_regString; }
  void setRegString(const QString& regString) { m_regString = regString; }
  // When false, the window's redrawing is suspended while controls move.
  bool DontRefresh() const { return m_dontRefresh; }
  void setDontRefresh(bool dontRefresh) { m_dontRefresh = dontRefresh; }
  // The smallest window size, in twips.
  std::int32_t MinHeight() const { return m_minHeight; }
  void setMinHeight(std::int32_t twips) { m_minHeight = twips; }
  std::int32_t MinWidth() const { return m_minWidth; }
  void setMinWidth(std::int32_t twips) { m_minWidth = twips; }

  // Starts following the window: restores its remembered position, reads the
  // anchor flags from its controls' Tags, takes a given minimum size and
  // records the current size as the size of the last layout pass.
  void DoInit(std::optional<std::int32_t> minHeight = std::nullopt,
              std::optional<std::int32_t> minWidth = std::nullopt);
  // One layout pass; runs by itself on every resize of the window after DoInit.
  void DoResize();
  // Suspends the window's redrawing.
  void Freeze();
  // Resumes the window's redrawing and repaints it and all its controls at once.
  void UnFreeze();
  // Shows a small box saying what this control is.
  void About();

  // The flags read for a control ("" when it has none).
  QString flagsOf(const QWidget* control) const;
  QWidget* window() const { return m_window; }

 signals:
  // Raised before the controls are moved in a layout pass.
  void BeforeResize();
  // Raised after the controls are moved, with the change of the window's size.
  void AfterResize(int heightChange, int widthChange);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct AnchoredControl {
    QPointer<QWidget> control;
    QString flags;
  };
  struct SettingsPlace {
    QString application;
    QString section;
    QString key;
    QString defaultValue;
  };

  std::optional<SettingsPlace> settingsPlace() const;
  void restorePosition();
  void savePosition();
  void readAnchorFlags();
  QSize snapToMinimumSize();
  void moveControls(int heightChange, int widthChange);

  QPointer<QWidget> m_window;
  bool m_following = false;
  bool m_windowShown = false;
  QString m_regString;
  bool m_dontRefresh = false;
  std::int32_t m_minHeight = 0;
  std::int32_t m_minWidth = 0;
  // Client size at the last layout pass, in pixels; 0 before the first.
  int m_previousHeight = 0;
  int m_previousWidth = 0;
  std::vector<AnchoredControl> m_anchored;
};
