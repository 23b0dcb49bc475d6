#pragma once
// The document model the program automates: the forms of the loaded page, the
// elements of a form, and look-up by id. Handles are light: an element is
// found again by its position (form and element index) or its id each time it
// is used, so a handle outlives nothing it refers to. Reading an element that
// does not exist gives "" and acting on it does nothing.
#include <QPointer>
#include <QString>
#include <QVariant>

class WebBrowser;

class HtmlElement {
 public:
  HtmlElement() = default;
  HtmlElement(WebBrowser* browser, QString locator)
      : m_browser(browser), m_locator(std::move(locator)) {}

  bool exists() const;
  QString name() const;
  QString value() const;
  QString id() const;
  void setValue(const QString& value);
  void click();
  void focus();
  // The flags keep the calling convention of the program's handlers; the
  // comparison of attribute names is never case-sensitive here.
  QVariant getAttribute(const QString& attribute, int flags = 0) const;
  void setAttribute(const QString& attribute, const QVariant& value, int flags = 1);

 private:
  QVariant run(const QString& body) const;

  QPointer<WebBrowser> m_browser;
  QString m_locator;  // script expression giving the element, or null
};

// The elements of one form, in document order.
class HtmlFormElements {
 public:
  HtmlFormElements(WebBrowser* browser, int formIndex)
      : m_browser(browser), m_formIndex(formIndex) {}

  int length() const;
  HtmlElement item(int index) const;

 private:
  QPointer<WebBrowser> m_browser;
  int m_formIndex;
};

class HtmlDocument {
 public:
  HtmlDocument() = default;
  explicit HtmlDocument(WebBrowser* browser) : m_browser(browser) {}

  bool isNull() const { return m_browser.isNull(); }
  // The browser showing the document, or null once it has gone.
  WebBrowser* browser() const { return m_browser.data(); }
  // The number of forms in the document.
  int formCount() const;
  HtmlFormElements forms(int index) const { return HtmlFormElements(m_browser, index); }
  HtmlElement getElementById(const QString& id) const;

 private:
  QPointer<WebBrowser> m_browser;
};

// A string as a script literal.
QString scriptString(const QString& text);
