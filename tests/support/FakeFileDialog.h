// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileDialog.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace k12::test {

// Answers open, save and folder requests from a queue of paths (nullopt = cancel; an empty
// queue cancels) and records every request.
class FakeFileDialog final : public FileDialog {
  public:
    enum class Kind { Save, Open, Folder };
    struct Request {
        Kind kind;
        QString filter;
        QWidget* parent;
        QString start; // where a folder request starts
    };

    std::optional<QString> saveFileName(QWidget* parent, const QString& filter) override {
        return answer(Kind::Save, parent, filter);
    }
    std::optional<QString> openFileName(QWidget* parent, const QString& filter) override {
        return answer(Kind::Open, parent, filter);
    }
    std::optional<QString> existingFolderName(QWidget* parent, const QString& start) override {
        return answer(Kind::Folder, parent, QString(), start);
    }

    QList<Request> requests;
    std::deque<std::optional<QString>> answers;
    // Runs while the "dialog" is open.
    std::function<void(const Request&)> onRequest;

  private:
    std::optional<QString> answer(Kind kind, QWidget* parent, const QString& filter,
                                  const QString& start = QString()) {
        requests.append({kind, filter, parent, start});
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
