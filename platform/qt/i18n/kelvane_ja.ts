<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The window texts; the game's own source texts are the Japanese ones. -->
<TS version="2.1" language="ja_JP" sourcelanguage="ja_JP">
<context>
    <name>TSPFM</name>
    <message>
        <source>ゲームプレイ中は 「Ｆ１」 キーで ＨＥＬＰ が見られます。</source>
        <translation>ゲームプレイ中は 「Ｆ１」 キーで ＨＥＬＰ が見られます。</translation>
    </message>
    <message>
        <source>キャラクター１色　起動　　８秒　（初回以後高速化→　８秒）</source>
        <translation>キャラクター１色　起動　　８秒　（初回以後高速化→　８秒）</translation>
    </message>
    <message>
        <source>キャラクター２色　起動　５０秒　（初回以後高速化→１０秒）</source>
        <translation>キャラクター２色　起動　５０秒　（初回以後高速化→１０秒）</translation>
    </message>
    <message>
        <source>キャラクター３色　起動１００秒　（初回以後高速化→１２秒）</source>
        <translation>キャラクター３色　起動１００秒　（初回以後高速化→１２秒）</translation>
    </message>
    <message>
        <source>ＣＤドライブ</source>
        <translation>ＣＤドライブ</translation>
    </message>
    <message>
        <source>壁紙大/小</source>
        <translation>壁紙大/小</translation>
    </message>
    <message>
        <source>フォームサイズ小</source>
        <translation>フォームサイズ小</translation>
    </message>
    <message>
        <source>環境設定初期化</source>
        <translation>環境設定初期化</translation>
    </message>
    <message>
        <source>クリア情報初期化</source>
        <translation>クリア情報初期化</translation>
    </message>
    <message>
        <source>カラーデータ再作成</source>
        <translation>カラーデータ再作成</translation>
    </message>
    <message>
        <source>エントリーネーム（英字×６） / 出身エリア（英字×７）</source>
        <translation>エントリーネーム（英字×６） / 出身エリア（英字×７）</translation>
    </message>
    <message>
        <source>起動設定初期化</source>
        <translation>起動設定初期化</translation>
    </message>
</context>
<context>
    <name>TkeyFM</name>
    <message>
        <source>COMAND LIST (direction←)</source>
        <translation>COMAND LIST (direction←)</translation>
    </message>
    <message>
        <source>Landig</source>
        <translation>Landig</translation>
    </message>
</context>
</TS>
