// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileDialog.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace k12::test {

// Answers open and save requests from a queue of paths (nullopt = cancel; an empty queue
// cancels) and records every request.
class FakeFileDialog final : public FileDialog {
  public:
    enum class Kind { Save, Open };
    struct Request {
        Kind kind;
        QString filter;
        QWidget* parent;
    };

    std::optional<QString> saveFileName(QWidget* parent, const QString& filter) override {
        return answer(Kind::Save, parent, filter);
    }
    std::optional<QString> openFileName(QWidget* parent, const QString& filter) override {
        return answer(Kind::Open, parent, filter);
    }

    QList<Request> requests;
    std::deque<std::optional<QString>> answers;
    // Runs while the "dialog" is open.
    std::function<void(const Request&)> onRequest;

  private:
    std::optional<QString> answer(Kind kind, QWidget* parent, const QString& filter) {
        requests.append({kind, filter, parent});
        if (onRequest) {
            onRequest(requests.back());
        }
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> a;
        a.swap(answers.front());
        answers.pop_front();
        return a;
    }
};

} // namespace k12::test
