#include "ui/tooltips.h"

#include <QString>
#include <QWidget>
#include <array>

namespace dotreel {
namespace {

// The keys named here are those of the window's keyboard (ui/shortcuts), in Qt's own spelling.
constexpr std::array kTooltips{
    Tooltip{"fraPattern",
            "描画パターン：グリッド全体を一度に変えます\n"
            "Patterns: change the whole grid at once"},
    Tooltip{"cmdPattern(0)",
            "消去：全ドットを消します（記憶するまでフレームは変わりません）\n"
            "Clear every dot of the grid (the frame changes on 記憶 only)"},
    Tooltip{"cmdPattern(1)",
            "塗潰：全ドットを点けます（記憶するまでフレームは変わりません）\n"
            "Light every dot of the grid (the frame changes on 記憶 only)"},
    Tooltip{"cmdPattern(2)",
            "反転：全ドットを反転します（記憶するまでフレームは変わりません）\n"
            "Invert every dot of the grid (the frame changes on 記憶 only)"},
    Tooltip{"fraDrawTool",
            "描画ツール：マウスでグリッドに描きます（Ctrl+T で文字）\n"
            "Draw tools: draw on the grid with the mouse (Ctrl+T: text)"},
    Tooltip{"cmdDrawTool(0)",
            "描画モード切替：クリック → 鉛筆 → 消しゴム\n"
            "Draw mode: click toggles a dot → pencil → eraser"},
    Tooltip{"cmdDrawTool(1)",
            "記憶：グリッドを現在のフレームに書き込みます（Ctrl+Z で元に戻す）\n"
            "Store the grid into the current frame (Ctrl+Z undoes it)"},
    Tooltip{"cmdDrawTool(2)",
            "取消し：グリッドを記憶済みのフレームに戻します\n"
            "Revert the grid to the stored frame"},
    Tooltip{"fraScroll",
            "スクロール：絵を1ドット動かすか、Frameモードでフレーム番号を送ります\n"
            "Scroll: move the picture one dot, or step the frame number"},
    Tooltip{"cmdScroll(0)",
            "上へ1ドット（Frameモード：次のフレーム番号）\n"
            "Picture up one dot (Frame mode: next frame number)"},
    Tooltip{"cmdScroll(1)",
            "下へ1ドット（Frameモード：前のフレーム番号）\n"
            "Picture down one dot (Frame mode: previous frame number)"},
    Tooltip{"cmdScroll(2)", "左へ1ドット\nPicture left one dot"},
    Tooltip{"cmdScroll(3)", "右へ1ドット\nPicture right one dot"},
    Tooltip{"cmdScroll(4)",
            "モード切替：Image（絵を動かす）／Frame（フレーム番号を送る）\n"
            "Mode: Image moves the picture, Frame steps the frame number"},
    Tooltip{"txtScroll",
            "現在のフレーム番号（全画像のコピー元）\n"
            "Current frame number (the source of 全画像)"},
    Tooltip{"optScroll(0)",
            "ローテート：押し出した列を反対側に戻します\n"
            "Rotate: the line pushed out comes back at the other edge"},
    Tooltip{"optScroll(1)",
            "シフト：空いた列を消すか点けます\n"
            "Shift: the vacated line is cleared or lit"},
    Tooltip{"chkScroll(0)",
            "塗潰：シフトで空いた列を点けます\n"
            "Fill: shift lights the vacated line"},
    Tooltip{"fraFrame",
            "フレーム：表示するフレームと再生範囲・間隔\n"
            "Frame: the frame on show, the playback range and interval"},
    Tooltip{"hscFrame(0)",
            "表示するフレーム 0〜267（PgDown/PgUp：±1、Home/End：開始/終了）\n"
            "Frame on show, 0..267 (PgDown/PgUp: ±1, Home/End: start/end)"},
    Tooltip{"hscFrame(1)", "再生間隔 1〜1000 ms\nPlayback interval, 1..1000 ms"},
    Tooltip{"lblFrame(0)", "再生の開始フレーム\nPlayback start frame"},
    Tooltip{"lblFrame(1)", "再生の終了フレーム\nPlayback end frame"},
    Tooltip{"lblFrame(2)", "再生間隔\nPlayback interval"},
    Tooltip{"lblFrame(3)", "ミリ秒\nMilliseconds"},
    Tooltip{"txtFrame(0)",
            "開始フレーム（全消去・全塗潰・全画像の範囲の始め、Home）\n"
            "Start frame (first of the layer commands' range, Home)"},
    Tooltip{"txtFrame(1)",
            "終了フレーム（全消去・全塗潰・全画像の範囲の終わり、End）\n"
            "End frame (last of the layer commands' range, End)"},
    Tooltip{"txtFrame(2)", "再生間隔（ミリ秒）\nPlayback interval in milliseconds"},
    Tooltip{"cmdFrame(0)",
            "表示中のフレームを開始フレームにします\n"
            "Make the frame on show the start frame"},
    Tooltip{"cmdFrame(1)",
            "表示中のフレームを終了フレームにします\n"
            "Make the frame on show the end frame"},
    Tooltip{"cmdFrame(2)", "再生の開始／停止（Ctrl+Return）\nStart or stop playback (Ctrl+Return)"},
    Tooltip{"chkFrame",
            "リピート：終了フレームの後、開始フレームから繰り返します\n"
            "Repeat: after the end frame, play again from the start"},
    Tooltip{"fraLayer",
            "レイヤ：メモリに読み込むファイルと、範囲への一括操作\n"
            "Layer: which file the memory holds, and commands over a range"},
    Tooltip{"optLayer(0)",
            "画像：FirstData.txt を読み込みます（Ctrl+Z で元に戻す）\n"
            "Image: load FirstData.txt (Ctrl+Z undoes the load)"},
    Tooltip{"optLayer(1)",
            "背景：SecondData.txt を読み込みます（Ctrl+Z で元に戻す）\n"
            "Background: load SecondData.txt (Ctrl+Z undoes the load)"},
    Tooltip{"optLayer(2)",
            "合成：Data.txt を読み込みます（Ctrl+Z で元に戻す）\n"
            "Composite: load Data.txt (Ctrl+Z undoes the load)"},
    Tooltip{"optLayer(3)",
            "画像|背景：画像と背景を重ねて読み込みます（Ctrl+Z で元に戻す）\n"
            "Image OR background, dot by dot (Ctrl+Z undoes the load)"},
    Tooltip{"cmdLayer(0)",
            "全消去：範囲のフレームを消します（Ctrl+Z で元に戻す）\n"
            "Erase the frames of the range (Ctrl+Z undoes it)"},
    Tooltip{"cmdLayer(1)",
            "全塗潰：範囲のフレームを塗り潰します（Ctrl+Z で元に戻す）\n"
            "Fill the frames of the range (Ctrl+Z undoes it)"},
    Tooltip{"cmdLayer(2)",
            "全画像：現在のフレームを範囲にコピーします（Ctrl+Z で元に戻す）\n"
            "Copy the current frame over the range (Ctrl+Z undoes it)"},
    Tooltip{"chkLayer",
            "フレーム指定：開始〜終了だけ（外すとメモリ全体）\n"
            "Range: start..end frames only (clear: the whole memory)"},
    Tooltip{"fraFile", "ファイル：メモリと設定を保存します\nFile: save the memory and settings"},
    Tooltip{"cmdFile",
            "保存：選んだレイヤのファイルと animation.txt に書き込みます（Ctrl+S）\n"
            "Save to the selected layer's file and animation.txt (Ctrl+S)"},
    Tooltip{"fraSpace(0)",
            "絵（PNG・BMP・GIF・JPEG）をウィンドウに落とすと表示中のフレームから取り込みます\n"
            "Drop pictures on the window to put them in from the frame on show"},
    Tooltip{"fraSpace(1)", "EEPROMの容量ごとに入るフレーム数\nFrames that fit each EEPROM size"},
    Tooltip{"lblComment(0)", "24C64（8 KB）に入るフレーム数\nFrames that fit a 24C64 (8 KB)"},
    Tooltip{"lblComment(1)", "24C128（16 KB）に入るフレーム数\nFrames that fit a 24C128 (16 KB)"},
    Tooltip{"lblComment(2)", "24C256（32 KB）に入るフレーム数\nFrames that fit a 24C256 (32 KB)"},
    Tooltip{"lblComment(3)", "24C512（64 KB）に入るフレーム数\nFrames that fit a 24C512 (64 KB)"},
};

}  // namespace

std::span<const Tooltip> tooltipTable() { return kTooltips; }

void applyTooltips(QWidget& window) {
    for (const Tooltip& tip : kTooltips) {
        if (auto* control = window.findChild<QWidget*>(QString::fromLatin1(tip.control)))
            control->setToolTip(QString::fromUtf8(tip.text));
    }
}

}  // namespace dotreel
