#include "i18n/modlanguage.h"

#include <exception>

namespace {

// A failing step is skipped so that one odd control cannot stop the walk.
template <typename Step>
void skippingFailure(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

void ConfigureTranslator(Translator& translator, const QString& programFolder,
                         const QString& windowName) {
  translator.setLanguageFilePath(programFolder + u'/' + kLanguagesFolderName);
  translator.setLookUpMethod(static_cast<int16_t>(LookUpField::Key));
  translator.setUseFormName(windowName);
  translator.setBaseLanguage(kBaseLanguage);
  translator.setUsingBase(true);
}

void StoreDefaultTexts(TranslatableWindow& window) {
  for (Translatable* control : window.translatableControls()) {
    if (!control) continue;
    skippingFailure([&] {
      if (const std::optional<QString> caption = control->Caption()) control->setTag(*caption);
    });
    skippingFailure([&] {
      if (const std::optional<QString> text = control->Text()) control->setTag(*text);
    });
  }
  skippingFailure([&] { window.setTag(window.Caption()); });
}

void ApplyLanguage(const QString& languageName, TranslatableWindow& window) {
  ApplyLanguage(languageName, window, Translator::programWide());
}

void ApplyLanguage(const QString& languageName, TranslatableWindow& window,
                   Translator& translator) {
  // A language that cannot be loaded leaves the previous table answering.
  skippingFailure([&] { translator.setLanguageFile(languageName); });
  for (Translatable* control : window.translatableControls()) {
    if (!control) continue;
    QString translation;
    skippingFailure([&] { translation = translator.Say(control->Tag()); });
    if (translation.isEmpty()) continue;
    skippingFailure([&] { control->setCaption(translation); });
    skippingFailure([&] { control->setText(translation); });
  }
  skippingFailure([&] {
    const QString translation = translator.Say(window.Tag());
    if (!translation.isEmpty()) window.setCaption(translation);
  });
}

std::optional<QString> LanguageNameOfItem(const QString& item) {
  const QStringList pieces = item.split(QStringLiteral(" | "));
  if (pieces.size() < 2) return std::nullopt;
  return pieces[1];
}
