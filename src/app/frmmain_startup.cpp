// The main window's links to the rest of the program at start-up and
// shutdown: the anchor control, the language machinery, the settings and port
// list files, this computer's addresses and the socket that names the default
// one. Each step that fails is skipped and start-up carries on.
#include <QComboBox>

#include "app/engine/portlistener.h"
#include "app/frmmain.h"
#include "app/listviewportrows.h"
#include "controls/anchor.h"
#include "i18n/languagefolder.h"
#include "i18n/languagelist.h"
#include "i18n/modlanguage.h"
#include "i18n/translator.h"
#include "net/modgetip.h"
#include "net/unisock.h"
#include "persist/modini.h"
#include "persist/modlist.h"
#include "persist/userfolders.h"
#include "platform/twips.h"

namespace {

const QString kSettingsSection = QStringLiteral("main");
const QString kLanguageKey = QStringLiteral("language");
// Where the anchor control keeps the window's last position: application,
// section, key stem (the key is "FrmMainPos"), and no default position.
const QString kPositionRegString = QStringLiteral("Vantrel,FrmMain,FrmMain,");

// The local IP chooser as the address list fills it: each item keeps the
// address's position among the system's addresses.
class ComboAddressChooser : public AddressChooser {
 public:
  explicit ComboAddressChooser(UniCombo& combo) : m_combo(combo) {}

  void AddItem(const QString& text, int itemData) override {
    m_combo.AddItem(text);
    m_combo.comboBox()->setItemData(m_combo.ListCount() - 1, itemData);
  }
  void setListIndex(int index) override { m_combo.setListIndex(index); }

 private:
  UniCombo& m_combo;
};

}  // namespace

QString FrmMain::settingsFile() const {
  return userDataFolder(m_programFolder) + QStringLiteral("/settings.ini");
}

QString FrmMain::portListFile() const {
  return userDataFolder(m_programFolder) + QStringLiteral("/ports.dat");
}

void FrmMain::initAnchor() {
  // The anchor codes are still in the Tags here; DoInit takes them out.
  Anchor1 = new Anchor(this);
  Anchor1->setRegString(kPositionRegString);
  Anchor1->setDontRefresh(true);
  Anchor1->DoInit(pixelsToTwips(height()), pixelsToTwips(width()));
  // The same minimum as a size hint, so that the window manager never offers
  // a smaller size that the anchor control would then have to undo.
  setMinimumSize(twipsToPixels(Anchor1->MinWidth()), twipsToPixels(Anchor1->MinHeight()));
}

void FrmMain::configureTranslator() {
  ConfigureTranslator(Translator::programWide(), languageBaseFolder(m_programFolder), windowName());
}

void FrmMain::storeDefaultTexts() { StoreDefaultTexts(*this); }

void FrmMain::loadLanguageList(const QString& listFile) {
  LoadLanguageList([this](const QString& item) { Combo3.AddItem(item); }, listFile);
}

QString FrmMain::readLanguageSetting() {
  return ReadIniValue(kSettingsSection, kLanguageKey, settingsFile());
}

void FrmMain::writeLanguageSetting(const QString& chooserText) {
  // A settings file that cannot be written leaves the choice for this run only.
  makeFolderOf(settingsFile());
  WriteIniValue(kSettingsSection, kLanguageKey, chooserText, settingsFile());
}

void FrmMain::applyLanguage(const QString& languageName) { ApplyLanguage(languageName, *this); }

void FrmMain::loadPortList(const QString& portFile) {
  ListViewPortRows rows(ListView1);
  LoadPortList(rows, portFile);
}

void FrmMain::fillLocalAddresses() {
  ComboAddressChooser chooser(Combo1);
  // Only a failed question about the addresses is an error; a computer with no
  // usable address simply offers none.
  if (!fillAddressList(chooser, queryLocalAddresses())) {
    UniMsgBox1.Reset();
    UniMsgBox1.Show(QStringLiteral("ERROR"), 0);
  }
}

void FrmMain::createIpProbeSocket() { ipProbeSocket = std::make_shared<UniSock>(); }

QString FrmMain::readProbeLocalIp() { return ipProbeSocket ? ipProbeSocket->LocalIP() : QString(); }

void FrmMain::closeWinsock() {
  if (Winsock) Winsock->close();
  Winsock.reset();
}
