#pragma once
// Filling in and sending a page's form the way the port test does: an element
// is looked for by its name, then (for a button) its value, then its id, each
// compared without regard to case over the elements of one form in document
// order, and last by the document's element with that id. Each search, with
// the action on what it found, is one script in the page, so it costs one
// round trip to the page however many elements the form has.
#include <QString>

class WebBrowser;

// Which look-up found the element.
enum class FormSearch { NotFound = 0, ByName, ByValue, ById, ByDocumentId };

// Clicks the first element of form `formIndex` whose name, else value, else
// id equals `name`, else the document's element whose id is `name`.
FormSearch clickFormElement(WebBrowser& browser, int formIndex, const QString& name);

// Focuses the first element of form `formIndex` whose name, else id, equals
// `name` and sets its value; else sets the value attribute of the document's
// element whose id is `name`. A button's caption is its value, so the value
// is no way to find a field.
FormSearch setFormElementValue(WebBrowser& browser, int formIndex, const QString& name,
                               const QString& value);
