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
<context>
    <name>HowTo</name>
    <message>
        <source>How to play</source>
        <translation>遊び方</translation>
    </message>
    <message>
        <source>The game</source>
        <translation>このゲーム</translation>
    </message>
    <message>
        <source>A dancer stands on a small stage while a tune plays. You type short commands that start her moves, and the moves score points. A match is two turns: yours and the computer's (or a second player's).</source>
        <translation>曲が流れる小さなステージでダンサーが踊ります。短いコマンドを打つと技が始まり、技で点が入ります。対戦は２ターン：あなたとコンピュータ（または２人目のプレイヤー）です。</translation>
    </message>
    <message>
        <source>Typing a command</source>
        <translation>コマンドの打ち方</translation>
    </message>
    <message>
        <source>A command is up to four keys from the arrow keys and the buttons Y and N. After the last key, or a short pause, the move starts. Left and Right mean forward and back as the dancer faces.</source>
        <translation>コマンドは矢印キーとＹ・Ｎボタンから最大４つのキーです。最後のキーか、少し間をおくと技が始まります。左右はダンサーの向きに応じて前・後ろになります。</translation>
    </message>
    <message>
        <source>A turn</source>
        <translation>ターン</translation>
    </message>
    <message>
        <source>When the stage shows your turn, type an opening command if you like and press Return. The turn ends with its tune, or earlier with Return: the time left is paid as a bonus.</source>
        <translation>あなたのターンが表示されたら、必要なら最初のコマンドを打ってリターンを押します。ターンは曲の終わりで終わります。リターンで早く終えると、残り時間がボーナスになります。</translation>
    </message>
    <message>
        <source>Saving and loading a run</source>
        <translation>プレイの保存と読み込み</translation>
    </message>
    <message>
        <source>After a turn the game offers to save it for about two seconds: press Shift or Alt, or click. Shift or Alt while a turn is about to start opens the saved runs, to load one and watch it.</source>
        <translation>ターンの後、約２秒間保存できます：ShiftかAltを押すか、クリックします。ターンが始まる前にShiftかAltを押すと、保存したプレイを読み込んで見られます。</translation>
    </message>
    <message>
        <source>Help while playing</source>
        <translation>プレイ中のヘルプ</translation>
    </message>
    <message>
        <source>F1 shows the command list: every move, its keys and its points. F2 shows or hides the coach beside the stage, which says what to press now and why each move scored.</source>
        <translation>Ｆ１でコマンド一覧（すべての技、キー、得点）を表示します。Ｆ２でステージ横のコーチを表示・非表示にします。コーチは今押すキーと、各技の得点の理由を教えます。</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>得点</translation>
    </message>
    <message>
        <source>A move's first time pays most. A move done again pays less, and one done three or four times among your last moves costs points: vary your moves. Some moves ask for a landing key: press it in time for a bonus. Miss it and your next move is a fall, which costs points.</source>
        <translation>技は初めてのときが一番高得点です。同じ技は得点が下がり、直前の技の中で３回・４回目になると減点です：技を変えましょう。着地キーを求める技もあります：間に合えばボーナス。逃すと次の技が転倒になり、減点されます。</translation>
    </message>
    <message>
        <source>Let's dance</source>
        <translation>踊ろう</translation>
    </message>
</context>
<context>
    <name>Coach</name>
    <message>
        <source>Up</source>
        <translation>上</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>下</translation>
    </message>
    <message>
        <source>normal course</source>
        <translation>ノーマルコース</translation>
    </message>
    <message>
        <source>hard course</source>
        <translation>ハードコース</translation>
    </message>
    <message>
        <source>two players</source>
        <translation>２人対戦</translation>
    </message>
    <message>
        <source>free match</source>
        <translation>フリー対戦</translation>
    </message>
    <message>
        <source>start the match</source>
        <translation>対戦開始</translation>
    </message>
    <message>
        <source>previous tune</source>
        <translation>前の曲</translation>
    </message>
    <message>
        <source>next tune</source>
        <translation>次の曲</translation>
    </message>
    <message>
        <source>listen to the tune</source>
        <translation>曲を試聴</translation>
    </message>
    <message>
        <source>stop the tune</source>
        <translation>曲を止める</translation>
    </message>
    <message>
        <source>next music source</source>
        <translation>次の音源</translation>
    </message>
    <message>
        <source>A saved run plays back — watch</source>
        <translation>保存したプレイを再生中 — 見てください</translation>
    </message>
    <message>
        <source>The computer's turn — watch its moves below</source>
        <translation>コンピュータのターン — 下に技が出ます</translation>
    </message>
    <message>
        <source>Landing: press %1 now for a bonus</source>
        <translation>着地：今 %1 を押すとボーナス</translation>
    </message>
    <message>
        <source>Typed: %1 — the move starts after a short pause</source>
        <translation>入力：%1 — 少し待つと技が始まります</translation>
    </message>
    <message>
        <source>Type a command: up to four of the arrows, Y and N. Return ends the turn early for a time bonus</source>
        <translation>コマンドを打とう：矢印とＹ・Ｎを最大４つ。リターンで早く終えると時間ボーナス</translation>
    </message>
    <message>
        <source>Demonstration</source>
        <translation>デモ</translation>
    </message>
    <message>
        <source>Player 2</source>
        <translation>プレイヤー２</translation>
    </message>
    <message>
        <source>Player 1</source>
        <translation>プレイヤー１</translation>
    </message>
    <message>
        <source>You</source>
        <translation>あなた</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>コンピュータ</translation>
    </message>
    <message>
        <source>first time</source>
        <translation>初めて</translation>
    </message>
    <message>
        <source>repeat</source>
        <translation>くり返し</translation>
    </message>
    <message>
        <source>3rd time of late: 1/8</source>
        <translation>最近３回目：1/8</translation>
    </message>
    <message>
        <source>4th time of late: -1</source>
        <translation>最近４回目：-1</translation>
    </message>
    <message>
        <source>5th time in a row: loses half</source>
        <translation>５回連続：半分減点</translation>
    </message>
    <message>
        <source>Landing hit</source>
        <translation>着地成功</translation>
    </message>
    <message>
        <source>Landing missed</source>
        <translation>着地失敗</translation>
    </message>
    <message>
        <source>Fell</source>
        <translation>転倒</translation>
    </message>
    <message>
        <source>time bonus for ending early</source>
        <translation>早く終えた時間ボーナス</translation>
    </message>
    <message>
        <source>new match</source>
        <translation>新しい対戦</translation>
    </message>
    <message>
        <source>head start</source>
        <translation>ハンデ</translation>
    </message>
    <message>
        <source>Any key opens the menu</source>
        <translation>キーを押すとメニューへ</translation>
    </message>
    <message>
        <source>Menu: Left and Right choose, Return confirms, N goes back. The pointer moves the menu cursor too</source>
        <translation>メニュー：左右で選び、リターンで決定、Ｎで戻る。マウスポインタでもカーソルが動きます</translation>
    </message>
    <message>
        <source>Music menu: %1 — arrows choose, Return confirms, N goes back</source>
        <translation>曲メニュー：%1 — 矢印で選び、リターンで決定、Ｎで戻る</translation>
    </message>
    <message>
        <source>Opening command: %1 — Return starts</source>
        <translation>最初のコマンド：%1 — リターンで開始</translation>
    </message>
    <message>
        <source>Your turn — Return starts</source>
        <translation>あなたのターン — リターンで開始</translation>
    </message>
    <message>
        <source>The computer's turn is next</source>
        <translation>次はコンピュータのターン</translation>
    </message>
    <message>
        <source>Get ready</source>
        <translation>準備して</translation>
    </message>
    <message>
        <source>Save this run? Shift or click — %1 s left</source>
        <translation>このプレイを保存？ Shiftかクリック — あと %1 秒</translation>
    </message>
    <message>
        <source>Choose a slot with the arrows, Return saves</source>
        <translation>矢印で場所を選び、リターンで保存</translation>
    </message>
    <message>
        <source>Choose a saved run with the arrows, Return loads it</source>
        <translation>矢印で保存したプレイを選び、リターンで読み込み</translation>
    </message>
    <message>
        <source>Return: the next level; any other key: the menu</source>
        <translation>リターン：次のレベル／他のキー：メニュー</translation>
    </message>
    <message>
        <source>Return goes back to the menu</source>
        <translation>リターンでメニューへ戻る</translation>
    </message>
    <message>
        <source>Quit? Y or Return quits, N stays</source>
        <translation>終了する？ Ｙかリターンで終了、Ｎで続ける</translation>
    </message>
    <message>
        <source>Demonstration — Return ends it</source>
        <translation>デモ — リターンで終わる</translation>
    </message>
    <message>
        <source>%1: %2 points — %3 first-time moves, %4 repeats, landings %5 hit and %6 missed, %7 falls</source>
        <translation>%1：%2 点 — 初めての技 %3、くり返し %4、着地 成功 %5・失敗 %6、転倒 %7</translation>
    </message>
    <message>
        <source>; best move %1 (%2)</source>
        <translation>；一番の技 %1（%2）</translation>
    </message>
    <message>
        <source>New best! %1</source>
        <translation>自己ベスト更新！ %1</translation>
    </message>
    <message>
        <source>Best for %1 (%2): %3 on %4</source>
        <translation>%1（%2）のベスト：%3（%4）</translation>
    </message>
    <message>
        <source>No best yet for %1 (%2)</source>
        <translation>%1（%2）のベストはまだありません</translation>
    </message>
    <message>
        <source>Coach</source>
        <translation>コーチ</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>今</translation>
    </message>
    <message>
        <source>Last moves</source>
        <translation>最近の技</translation>
    </message>
    <message>
        <source>This match</source>
        <translation>この対戦</translation>
    </message>
    <message>
        <source>How to play</source>
        <translation>遊び方</translation>
    </message>
    <message>
        <source>F2 shows or hides the coach</source>
        <translation>Ｆ２でコーチを表示・非表示</translation>
    </message>
    <message>
        <source>No moves yet</source>
        <translation>まだ技はありません</translation>
    </message>
</context>
</TS>
