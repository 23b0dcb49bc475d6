#include "app/outside/formautomation.h"

#include "app/outside/htmldocument.h"
#include "app/outside/webbrowser.h"

namespace {

// The search, as a script function of (form index, name, passes, act). It
// returns the number of the pass that found an element (1-based over
// `passes`, then one more for the document's id), or 0. The property texts
// are read as the document model gives them; an absent one reads "".
const char kSearch[] = R"JS(
(function (formIndex, name, passes, act) {
  var wanted = String(name).toLowerCase();
  var form = document.forms[formIndex];
  var elements = form ? form.elements : [];
  function text(element, property) {
    var v = property === 'id' ? element.id : element[property];
    return v === undefined || v === null ? '' : String(v);
  }
  for (var p = 0; p < passes.length; ++p) {
    for (var i = 0; i < elements.length; ++i) {
      if (text(elements[i], passes[p]).toLowerCase() === wanted) {
        act(elements[i], false);
        return p + 1;
      }
    }
  }
  var byId = wanted === '' ? null : document.getElementById(name);
  if (byId) {
    var id = byId.getAttribute('id');
    if ((id === null ? '' : id).toLowerCase() === wanted) {
      act(byId, true);
      return passes.length + 1;
    }
  }
  return 0;
})
)JS";

FormSearch run(WebBrowser& browser, int formIndex, const QString& name, const QString& passes,
               const QString& act, const QList<FormSearch>& meaning) {
  const QString script =
      QString::fromLatin1(kSearch).trimmed() +
      QStringLiteral("(%1,%2,%3,%4)").arg(formIndex).arg(scriptString(name), passes, act);
  const int found = browser.evaluate(script).toInt();
  return found >= 1 && found <= meaning.size() ? meaning.at(found - 1) : FormSearch::NotFound;
}

}  // namespace

FormSearch clickFormElement(WebBrowser& browser, int formIndex, const QString& name) {
  return run(browser, formIndex, name, QStringLiteral("['name','value','id']"),
             QStringLiteral("function (e) { e.click(); }"),
             {FormSearch::ByName, FormSearch::ByValue, FormSearch::ById, FormSearch::ByDocumentId});
}

FormSearch setFormElementValue(WebBrowser& browser, int formIndex, const QString& name,
                               const QString& value) {
  // A field found in the form gets the focus and its value; the document's
  // element by id gets the value attribute, and the value the field shows.
  const QString act = QStringLiteral(
                          "function (e, byDocument) { var v = %1;"
                          " if (byDocument) { e.setAttribute('value', v); e.value = v; return; }"
                          " if (e.focus) e.focus(); e.value = v; }")
                          .arg(scriptString(value));
  return run(browser, formIndex, name, QStringLiteral("['name','id']"), act,
             {FormSearch::ByName, FormSearch::ById, FormSearch::ByDocumentId});
}
