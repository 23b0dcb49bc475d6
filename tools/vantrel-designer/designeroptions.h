#pragma once
// The designer's command line. Without --save it opens its window on the
// form; with --save it edits one control of the form without a window and
// writes the form back, so that a form can be rebuilt by a script (one
// command line, shown on two):
//
//   vantrel-designer --form F.vfd --control aicAlphaImage1 --size 241x140
//     --image emblem.png --set ShadowEnabled=1 --set ShadowDepth=6 --save
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

struct DesignerOptions {
  QString formPath;
  QString controlName = QStringLiteral("aicAlphaImage1");
  QSize controlSize{241, 140};
  QString imagePath;     // loaded through the source image page
  QStringList settings;  // "Name=value", applied in order after the picture
  bool clearImage = false;
  bool save = false;  // edit without a window and write the form
};

// nullopt with a readable reason for a command line that cannot be run;
// arguments[0] is the program name.
std::optional<DesignerOptions> parseDesignerOptions(const QStringList& arguments, QString* error);
QString designerUsage();
// "241x140" as a size; nullopt unless both sides are 1..10000.
std::optional<QSize> parseControlSize(const QString& text);
