#pragma once

class QCoreApplication;

namespace platform {
// Loads Qt's Japanese translation so that standard buttons read はい / いいえ /
// 再試行 / キャンセル. Returns false when the translation is not installed.
bool installJapaneseTranslation(QCoreApplication& app);
} // namespace platform
