// A one-line input box without an owner window, with a seam through which tests answer it.
#pragma once

#include <QString>
#include <functional>
#include <optional>

// Asks for one line of text; nothing when the box was cancelled.
std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                  const QString& value = QString());

// Replaces the box: while set, every input box calls the handler with its caption, prompt and
// preset value and returns its answer. An empty function restores the real box.
using InputBoxHandler = std::function<std::optional<QString>(const QString& caption, const QString& prompt,
                                                             const QString& value)>;
void SetInputBoxHandler(InputBoxHandler handler);

// The button texts of later boxes, in the operator's language; empty keeps the default.
void SetInputBoxButtonTexts(const QString& ok, const QString& cancel);
