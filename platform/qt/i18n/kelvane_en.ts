<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The window texts; the game's own source texts are the Japanese ones. -->
<TS version="2.1" language="en_GB" sourcelanguage="ja_JP">
<context>
    <name>TSPFM</name>
    <message>
        <source>ゲームプレイ中は 「Ｆ１」 キーで ＨＥＬＰ が見られます。</source>
        <translation>Press F1 during play to see the HELP.</translation>
    </message>
    <message>
        <source>キャラクター１色　起動　　８秒　（初回以後高速化→　８秒）</source>
        <translation>Character in 1 colour: start 8 s (later starts 8 s)</translation>
    </message>
    <message>
        <source>キャラクター２色　起動　５０秒　（初回以後高速化→１０秒）</source>
        <translation>Character in 2 colours: start 50 s (later starts 10 s)</translation>
    </message>
    <message>
        <source>キャラクター３色　起動１００秒　（初回以後高速化→１２秒）</source>
        <translation>Character in 3 colours: start 100 s (later starts 12 s)</translation>
    </message>
    <message>
        <source>ＣＤドライブ</source>
        <translation>CD drive</translation>
    </message>
    <message>
        <source>壁紙大/小</source>
        <translation>Wallpaper L/S</translation>
    </message>
    <message>
        <source>フォームサイズ小</source>
        <translation>Small window</translation>
    </message>
    <message>
        <source>環境設定初期化</source>
        <translation>Reset settings</translation>
    </message>
    <message>
        <source>クリア情報初期化</source>
        <translation>Reset course progress</translation>
    </message>
    <message>
        <source>カラーデータ再作成</source>
        <translation>Rebuild colour data</translation>
    </message>
    <message>
        <source>エントリーネーム（英字×６） / 出身エリア（英字×７）</source>
        <translation>Entry name (6 letters) / Home area (7 letters)</translation>
    </message>
    <message>
        <source>起動設定初期化</source>
        <translation>Reset start-up choices</translation>
    </message>
</context>
<context>
    <name>TkeyFM</name>
    <message>
        <source>COMAND LIST (direction←)</source>
        <translation>COMMAND LIST (direction←)</translation>
    </message>
    <message>
        <source>Landig</source>
        <translation>Landing</translation>
    </message>
</context>
</TS>
