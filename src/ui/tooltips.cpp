#include "ui/tooltips.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>

#include "ui/shortcuts.h"

namespace dotreel {
namespace {

// No key is named here: applyTooltips adds each control's keys from the one key table.
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
            "描画ツール：マウスでグリッドに描きます\n"
            "Draw tools: draw on the grid with the mouse"},
    Tooltip{"cmdDrawTool(0)",
            "描画モード切替：クリック → 鉛筆 → 消しゴム\n"
            "Draw mode: click toggles a dot → pencil → eraser"},
    Tooltip{"cmdDrawTool(1)",
            "記憶：グリッドを現在のフレームに書き込みます（元に戻せます）\n"
            "Store the grid into the current frame (can be undone)"},
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
            "表示するフレーム 0〜267\n"
            "Frame on show, 0..267"},
    Tooltip{"hscFrame(1)", "再生間隔 1〜1000 ms\nPlayback interval, 1..1000 ms"},
    Tooltip{"lblFrame(0)", "再生の開始フレーム\nPlayback start frame"},
    Tooltip{"lblFrame(1)", "再生の終了フレーム\nPlayback end frame"},
    Tooltip{"lblFrame(2)", "再生間隔\nPlayback interval"},
    Tooltip{"lblFrame(3)", "ミリ秒\nMilliseconds"},
    Tooltip{"txtFrame(0)",
            "開始フレーム（全消去・全塗潰・全画像の範囲の始め）\n"
            "Start frame (first of the layer commands' range)"},
    Tooltip{"txtFrame(1)",
            "終了フレーム（全消去・全塗潰・全画像の範囲の終わり）\n"
            "End frame (last of the layer commands' range)"},
    Tooltip{"txtFrame(2)", "再生間隔（ミリ秒）\nPlayback interval in milliseconds"},
    Tooltip{"cmdFrame(0)",
            "表示中のフレームを開始フレームにします\n"
            "Make the frame on show the start frame"},
    Tooltip{"cmdFrame(1)",
            "表示中のフレームを終了フレームにします\n"
            "Make the frame on show the end frame"},
    Tooltip{"cmdFrame(2)", "再生の開始／停止\nStart or stop playback"},
    Tooltip{"chkFrame",
            "リピート：終了フレームの後、開始フレームから繰り返します\n"
            "Repeat: after the end frame, play again from the start"},
    Tooltip{"fraLayer",
            "レイヤ：メモリに読み込むファイルと、範囲への一括操作\n"
            "Layer: which file the memory holds, and commands over a range"},
    Tooltip{"optLayer(0)",
            "画像：FirstData.txt を読み込みます（元に戻せます）\n"
            "Image: load FirstData.txt (can be undone)"},
    Tooltip{"optLayer(1)",
            "背景：SecondData.txt を読み込みます（元に戻せます）\n"
            "Background: load SecondData.txt (can be undone)"},
    Tooltip{"optLayer(2)",
            "合成：Data.txt を読み込みます（元に戻せます）\n"
            "Composite: load Data.txt (can be undone)"},
    Tooltip{"optLayer(3)",
            "画像|背景：画像と背景を重ねて読み込みます（元に戻せます）\n"
            "Image OR background, dot by dot (can be undone)"},
    Tooltip{"cmdLayer(0)",
            "全消去：範囲のフレームを消します（元に戻せます）\n"
            "Erase the frames of the range (can be undone)"},
    Tooltip{"cmdLayer(1)",
            "全塗潰：範囲のフレームを塗り潰します（元に戻せます）\n"
            "Fill the frames of the range (can be undone)"},
    Tooltip{"cmdLayer(2)",
            "全画像：現在のフレームを範囲にコピーします（元に戻せます）\n"
            "Copy the current frame over the range (can be undone)"},
    Tooltip{"chkLayer",
            "フレーム指定：開始〜終了だけ（外すとメモリ全体）\n"
            "Range: start..end frames only (clear: the whole memory)"},
    Tooltip{"fraFile", "ファイル：メモリと設定を保存します\nFile: save the memory and settings"},
    Tooltip{"cmdFile",
            "保存：選んだレイヤのファイルと animation.txt に書き込みます\n"
            "Save to the selected layer's file and animation.txt"},
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

QString tooltipText(const Tooltip& tip) {
    QString text = QString::fromUtf8(tip.text);
    QStringList keys;
    for (const KeyRow& row : keyTable())
        if (row.control != nullptr && qstrcmp(row.control, tip.control) == 0) keys << keyNames(row);
    if (keys.isEmpty()) return text;
    const qsizetype lineBreak = text.indexOf(u'\n');
    return text.left(lineBreak) + QStringLiteral("（キー：%1）").arg(keys.join(u'、')) +
           text.mid(lineBreak) + QStringLiteral(" (keys: %1)").arg(keys.join(QStringLiteral(", ")));
}

void applyTooltips(QWidget& window) {
    for (const Tooltip& tip : kTooltips) {
        if (auto* control = window.findChild<QWidget*>(QString::fromLatin1(tip.control)))
            control->setToolTip(tooltipText(tip));
    }
}

}  // namespace dotreel
