#include "designeroptions.h"

#include "platform/formdata.h"

namespace {

constexpr int kMaxControlSide = 10000;

}  // namespace

QString designerUsage() {
  return QStringLiteral(
      "usage: vantrel-designer [--form FILE.vfd] [--control NAME] [--size WxH]\n"
      "       vantrel-designer --form FILE.vfd [--control NAME] [--size WxH]\n"
      "                        [--clear] [--image FILE] [--set Name=value ...] --save\n"
      "Without --save the designer window opens on the form. With --save the\n"
      "control is edited without a window and the form is written back.\n");
}

std::optional<QSize> parseControlSize(const QString& text) {
  const QStringList sides = text.toLower().split(QLatin1Char('x'));
  if (sides.size() != 2) return std::nullopt;
  bool widthOk = false, heightOk = false;
  const int width = sides[0].toInt(&widthOk);
  const int height = sides[1].toInt(&heightOk);
  if (!widthOk || !heightOk || width < 1 || height < 1 || width > kMaxControlSide ||
      height > kMaxControlSide) {
    return std::nullopt;
  }
  return QSize(width, height);
}

std::optional<DesignerOptions> parseDesignerOptions(const QStringList& arguments, QString* error) {
  auto fail = [&](const QString& reason) -> std::optional<DesignerOptions> {
    if (error) *error = reason;
    return std::nullopt;
  };
  DesignerOptions options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    auto value = [&]() -> std::optional<QString> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (argument == QLatin1String("--save")) {
      options.save = true;
    } else if (argument == QLatin1String("--clear")) {
      options.clearImage = true;
    } else if (argument == QLatin1String("--form") || argument == QLatin1String("--control") ||
               argument == QLatin1String("--size") || argument == QLatin1String("--image") ||
               argument == QLatin1String("--set")) {
      const std::optional<QString> text = value();
      if (!text) return fail(QStringLiteral("%1 needs a value").arg(argument));
      if (argument == QLatin1String("--form")) options.formPath = *text;
      if (argument == QLatin1String("--control")) options.controlName = *text;
      if (argument == QLatin1String("--image")) options.imagePath = *text;
      if (argument == QLatin1String("--set")) options.settings.append(*text);
      if (argument == QLatin1String("--size")) {
        const std::optional<QSize> size = parseControlSize(*text);
        if (!size) return fail(QStringLiteral("--size takes WxH, not \"%1\"").arg(*text));
        options.controlSize = *size;
      }
    } else {
      return fail(QStringLiteral("unknown argument \"%1\"").arg(argument));
    }
  }
  if (!isValidFormDataName(options.controlName)) {
    return fail(QStringLiteral("a control name is printable ASCII without spaces"));
  }
  const bool edits =
      !options.imagePath.isEmpty() || !options.settings.isEmpty() || options.clearImage;
  if (edits && !options.save) return fail(QStringLiteral("--image, --set and --clear need --save"));
  if (options.save && options.formPath.isEmpty())
    return fail(QStringLiteral("--save needs --form"));
  return options;
}
