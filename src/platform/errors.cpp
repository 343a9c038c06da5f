// Short Japanese descriptions of run-time failures, like the rest of the window.
#include "platform/errors.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace dotreel {

PlatformError fileError(int errnoValue, const std::string& path) {
    switch (errnoValue) {
        case ENOENT: {
            // A missing folder is told apart from a missing file: the user fixes them differently.
            std::error_code ec;
            const auto parent = std::filesystem::path(path).parent_path();
            if (!parent.empty() && !std::filesystem::is_directory(parent, ec))
                return PlatformError(ErrorKind::PathNotFound,
                                     "フォルダーが見つかりません。(" + parent.string() + ")");
            return PlatformError(ErrorKind::FileNotFound,
                                 "ファイルが見つかりません。(" + path + ")");
        }
        case ENOTDIR:
            return PlatformError(ErrorKind::PathNotFound,
                                 "フォルダーが見つかりません。(" + path + ")");
        case EACCES:
        case EPERM:
        case EROFS:
            return PlatformError(ErrorKind::PermissionDenied,
                                 "ファイルにアクセスできません。(" + path + ")");
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return PlatformError(ErrorKind::DiskFull,
                                 "ディスクの空き容量が足りません。(" + path + ")");
        case EISDIR:
            return PlatformError(ErrorKind::PermissionDenied,
                                 "ファイルではなくフォルダーです。(" + path + ")");
        default:
            return PlatformError(ErrorKind::IoError,
                                 "ファイルの読み書きに失敗しました。(" + path + ")");
    }
}

PlatformError endOfFileError(const std::string& path) {
    return PlatformError(ErrorKind::EndOfFile,
                         "ファイルの終わりを越えて読もうとしました。(" + path + ")");
}

PlatformError typeMismatchError() {
    return PlatformError(ErrorKind::TypeMismatch, "数値ではありません。");
}

PlatformError overflowError() { return PlatformError(ErrorKind::Overflow, "数値が大きすぎます。"); }

PlatformError outOfRangeError() { return PlatformError(ErrorKind::OutOfRange, "値が範囲外です。"); }

PlatformError notAFileError(const std::string& path) {
    return PlatformError(
        ErrorKind::NotAFile,
        "通常のファイルではありません（デバイスや名前付きパイプは読めません）。(" + path + ")");
}

PlatformError tooLargeError(const std::string& path, int64_t size, int64_t limit) {
    return PlatformError(ErrorKind::TooLarge,
                         "ファイルが大きすぎます（" + std::to_string(size) + " バイト、上限 " +
                             std::to_string(limit) + " バイト）。(" + path + ")",
                         size);
}

PlatformError outOfMemoryError() {
    return PlatformError(ErrorKind::OutOfMemory, "メモリが足りません。");
}

}  // namespace dotreel
