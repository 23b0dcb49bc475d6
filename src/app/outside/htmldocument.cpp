#include "app/outside/htmldocument.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "app/outside/webbrowser.h"

QString scriptString(const QString& text) {
  // A one-element JSON array is a valid script expression; strip the brackets.
  const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QVariant HtmlElement::run(const QString& body) const {
  if (m_browser.isNull() || m_locator.isEmpty()) return {};
  // The element is looked up afresh; a missing one answers null.
  return m_browser->evaluate(
      QStringLiteral("(function(){var e=%1;if(!e)return null;%2})()").arg(m_locator, body));
}

bool HtmlElement::exists() const { return run(QStringLiteral("return true;")).toBool(); }

QString HtmlElement::name() const {
  return run(QStringLiteral("return e.name===undefined||e.name===null?'':String(e.name);"))
      .toString();
}

QString HtmlElement::value() const {
  return run(QStringLiteral("return e.value===undefined||e.value===null?'':String(e.value);"))
      .toString();
}

QString HtmlElement::id() const { return run(QStringLiteral("return e.id||'';")).toString(); }

void HtmlElement::setValue(const QString& value) {
  run(QStringLiteral("e.value=%1;return true;").arg(scriptString(value)));
}

void HtmlElement::click() { run(QStringLiteral("e.click();return true;")); }

void HtmlElement::focus() { run(QStringLiteral("if(e.focus)e.focus();return true;")); }

QVariant HtmlElement::getAttribute(const QString& attribute, int) const {
  return run(QStringLiteral("var v=e.getAttribute(%1);return v===null?'':v;")
                 .arg(scriptString(attribute)));
}

void HtmlElement::setAttribute(const QString& attribute, const QVariant& value, int) {
  const QString text = scriptString(value.toString());
  // "value" as an attribute only sets the default; the field shows the property.
  run(QStringLiteral("e.setAttribute(%1,%2);if(%1.toLowerCase()==='value')e.value=%2;return true;")
          .arg(scriptString(attribute), text));
}

int HtmlFormElements::length() const {
  if (m_browser.isNull()) return 0;
  const QVariant count = m_browser->evaluate(
      QStringLiteral("(function(){var f=document.forms[%1];return f?f.elements.length:0;})()")
          .arg(m_formIndex));
  return count.toInt();
}

HtmlElement HtmlFormElements::item(int index) const {
  return HtmlElement(m_browser,
                     QStringLiteral("(document.forms[%1]&&document.forms[%1].elements[%2])")
                         .arg(m_formIndex)
                         .arg(index));
}

int HtmlDocument::formCount() const {
  if (m_browser.isNull()) return 0;
  return m_browser->evaluate(QStringLiteral("document.forms.length")).toInt();
}

HtmlElement HtmlDocument::getElementById(const QString& id) const {
  return HtmlElement(m_browser,
                     QStringLiteral("document.getElementById(%1)").arg(scriptString(id)));
}
