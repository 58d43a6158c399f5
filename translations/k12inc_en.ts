<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Alerts</name>
    <message>
        <source>%1台目</source>
        <translation>Unit %1</translation>
    </message>
    <message>
        <source>上限</source>
        <comment>the high limit</comment>
        <translation>high limit</translation>
    </message>
    <message>
        <source>下限</source>
        <comment>the low limit</comment>
        <translation>low limit</translation>
    </message>
    <message>
        <source>変化</source>
        <comment>the limit of change</comment>
        <translation>change limit</translation>
    </message>
    <message>
        <source>上限</source>
        <comment>the recorder&apos;s word for the kind</comment>
        <translation>high</translation>
    </message>
    <message>
        <source>下限</source>
        <comment>the recorder&apos;s word for the kind</comment>
        <translation>low</translation>
    </message>
    <message>
        <source>変化</source>
        <comment>the recorder&apos;s word for the kind</comment>
        <translation>change</translation>
    </message>
    <message>
        <source>%1の警報の%2に誤りがあります。
0 より大きく 180 までの度数を入力してください（空欄: なし）。</source>
        <translation>The %2 of the alert of %1 is not valid.
Enter degrees above 0 up to 180 (empty: none).</translation>
    </message>
    <message>
        <source>%1の警報の%2に誤りがあります。
-180 から 180 までの度数を入力してください（空欄: なし）。</source>
        <translation>The %2 of the alert of %1 is not valid.
Enter degrees from -180 to 180 (empty: none).</translation>
    </message>
    <message>
        <source>%1の警報の下限が上限以上になっています。</source>
        <translation>The low limit of the alert of %1 is not below its high limit.</translation>
    </message>
    <message>
        <source>%1 警報解除: %2（%3°）</source>
        <translation>%1 alert cleared: %2 (%3°)</translation>
    </message>
    <message>
        <source>%1 警報: %2 を超えました（%3°）</source>
        <translation>%1 alert: above the %2 (%3°)</translation>
    </message>
    <message>
        <source>%1 警報: %2 を下回りました（%3°）</source>
        <translation>%1 alert: below the %2 (%3°)</translation>
    </message>
    <message>
        <source>%1 警報: %2 を超えました（%3°、開始時から %4°）</source>
        <translation>%1 alert: beyond the %2 (%3°, %4° from the start)</translation>
    </message>
    <message>
        <source>%1台目 警報発生: %2 %3（%4、開始時から %5）</source>
        <translation>unit %1 alert raised: %2 %3 (%4, %5 from the first value)</translation>
    </message>
    <message>
        <source>%1台目 警報解除: %2 %3（%4、開始時から %5）</source>
        <translation>unit %1 alert cleared: %2 %3 (%4, %5 from the first value)</translation>
    </message>
    <message>
        <source>%1台目 警報発生: %2 %3（%4）</source>
        <translation>unit %1 alert raised: %2 %3 (%4)</translation>
    </message>
    <message>
        <source>%1台目 警報解除: %2 %3（%4）</source>
        <translation>unit %1 alert cleared: %2 %3 (%4)</translation>
    </message>
</context>
<context>
    <name>Chart</name>
    <message>
        <source>グラフ</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>時刻</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>画像の形式は拡張子 .png、.svg、.pdf で選んでください。</source>
        <translation>Choose the picture format by the extension .png, .svg or .pdf.</translation>
    </message>
    <message>
        <source>グラフがありません。</source>
        <translation>There is no chart.</translation>
    </message>
    <message>
        <source>SVG を作れません。</source>
        <translation>Cannot make the SVG file.</translation>
    </message>
    <message>
        <source>PDF を作れません。</source>
        <translation>Cannot make the PDF file.</translation>
    </message>
    <message>
        <source>PNG画像 (*.png)|*.png|SVG画像 (*.svg)|*.svg|PDFファイル (*.pdf)|*.pdf|</source>
        <translation>PNG image (*.png)|*.png|SVG image (*.svg)|*.svg|PDF file (*.pdf)|*.pdf|</translation>
    </message>
    <message>
        <source>マーカーA をここに</source>
        <translation>Marker A here</translation>
    </message>
    <message>
        <source>マーカーB をここに</source>
        <translation>Marker B here</translation>
    </message>
    <message>
        <source>マーカーを消す</source>
        <translation>Clear the markers</translation>
    </message>
    <message>
        <source>全表示に戻す</source>
        <translation>Back to show all</translation>
    </message>
    <message>
        <source>横軸を時刻で表示</source>
        <translation>Clock time on the X axis</translation>
    </message>
    <message>
        <source>画像として保存...</source>
        <translation>Save as picture...</translation>
    </message>
    <message>
        <source>画像を保存できませんでした。
%1
%2</source>
        <translation>The picture could not be saved.
%1
%2</translation>
    </message>
</context>
<context>
    <name>ChartReading</name>
    <message>
        <source>%1台目</source>
        <translation>Unit %1</translation>
    </message>
    <message>
        <source>%1 秒（%2 行目）</source>
        <translation>%1 s (row %2)</translation>
    </message>
    <message numerus="yes">
        <source>B−A: %1 秒（%n 行）</source>
        <translation>
            <numerusform>B−A: %1 s (%n row)</numerusform>
            <numerusform>B−A: %1 s (%n rows)</numerusform>
        </translation>
    </message>
    <message>
        <source>	A	B	B−A	最小	最大	平均	欠測</source>
        <translation>	A	B	B−A	Min	Max	Mean	Missing</translation>
    </message>
</context>
<context>
    <name>ComDrv</name>
    <message>
        <source>オープンされていない</source>
        <translation>Not open</translation>
    </message>
    <message>
        <source>ポート接続動作中</source>
        <translation>Port already open</translation>
    </message>
    <message>
        <source>タイムアウト</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>リターン文字列不正</source>
        <translation>Invalid reply</translation>
    </message>
    <message>
        <source>連続取り込み動作中</source>
        <translation>Streaming in progress</translation>
    </message>
    <message>
        <source>設定値範囲外</source>
        <translation>Setting out of range</translation>
    </message>
</context>
<context>
    <name>DataFile</name>
    <message>
        <source>ファイル「%1」を読み込めません。
%2</source>
        <translation>The file &quot;%1&quot; cannot be read.
%2</translation>
    </message>
    <message>
        <source>PCタイマー</source>
        <translation>PC timer</translation>
    </message>
    <message>
        <source>装置タイマー</source>
        <translation>device timer</translation>
    </message>
    <message>
        <source>ファイル「%1」のタイマー（%2）が「%3」（%4）と異なります。</source>
        <translation>The timer of the file &quot;%1&quot; (%2) differs from that of &quot;%3&quot; (%4).</translation>
    </message>
    <message>
        <source>ファイル「%1」の測定間隔（%2 ms）が「%3」（%4 ms）と異なります。</source>
        <translation>The interval of the file &quot;%1&quot; (%2 ms) differs from that of &quot;%3&quot; (%4 ms).</translation>
    </message>
    <message>
        <source>ファイル「%1」の開始時刻 %2 が「%3」の続き（%4）ではありません（重なっています）。</source>
        <translation>The start time %2 of the file &quot;%1&quot; does not follow on from &quot;%3&quot; (%4): they overlap.</translation>
    </message>
    <message>
        <source>ファイル「%1」の開始時刻 %2 が「%3」の続き（%4）ではありません（間が空いています）。</source>
        <translation>The start time %2 of the file &quot;%1&quot; does not follow on from &quot;%3&quot; (%4): there is a gap.</translation>
    </message>
    <message>
        <source>開始時刻</source>
        <translation>The start time</translation>
    </message>
    <message>
        <source>文字コードを変換できません。</source>
        <translation>The text cannot be converted to the file&apos;s character set.</translation>
    </message>
    <message>
        <source>つなぐファイルがありません。</source>
        <translation>There are no files to join.</translation>
    </message>
    <message>
        <source>ファイル「%1」の開始時刻「%2」を読み取れません。</source>
        <translation>The start time &quot;%2&quot; of the file &quot;%1&quot; cannot be read.</translation>
    </message>
    <message>
        <source>ファイル「%1」が読み込み中に変わりました。</source>
        <translation>The file &quot;%1&quot; changed while it was being read.</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっています（ヘッダーが不完全です）。</source>
        <translation>The file ends too early (its header is incomplete).</translation>
    </message>
    <message>
        <source>測定間隔の値 %1 が範囲外です（1～32767）。</source>
        <translation>The interval %1 is out of range (1 to 32767).</translation>
    </message>
    <message>
        <source>データがありません。</source>
        <translation>There is no data.</translation>
    </message>
    <message>
        <source>%1 に書き込めません（%2）。</source>
        <translation>Cannot write to %1 (%2).</translation>
    </message>
    <message>
        <source>%1 を作成できません（%2）。</source>
        <translation>Cannot create %1 (%2).</translation>
    </message>
    <message>
        <source>ファイルを開けません（%1）。</source>
        <translation>Cannot open the file (%1).</translation>
    </message>
    <message>
        <source>読み込みに失敗しました（%1）。</source>
        <translation>Reading failed (%1).</translation>
    </message>
    <message>
        <source>ファイル「%1」に保存できませんでした。
%2</source>
        <translation>The data could not be saved to the file &quot;%1&quot;.
%2</translation>
    </message>
    <message>
        <source>%1にファイルへ保存できない文字が含まれています。</source>
        <translation>%1 holds characters that cannot be saved to the file.</translation>
    </message>
    <message>
        <source>%1が長すぎます（%2 バイト、最大 %3 バイト）。</source>
        <translation>%1 is too long (%2 bytes, at most %3 bytes).</translation>
    </message>
    <message>
        <source>メモ１</source>
        <translation>Memo line 1</translation>
    </message>
    <message>
        <source>メモ２</source>
        <translation>Memo line 2</translation>
    </message>
    <message>
        <source>メモ３</source>
        <translation>Memo line 3</translation>
    </message>
    <message>
        <source>メモ４</source>
        <translation>Memo line 4</translation>
    </message>
    <message>
        <source>メモ５</source>
        <translation>Memo line 5</translation>
    </message>
    <message>
        <source>ファイルを作成できません（%1）。</source>
        <translation>Cannot create the file (%1).</translation>
    </message>
    <message>
        <source>書き込みに失敗しました（%1）。</source>
        <translation>Writing failed (%1).</translation>
    </message>
    <message>
        <source>書き込みを完了できません（%1）。</source>
        <translation>Cannot finish writing (%1).</translation>
    </message>
</context>
<context>
    <name>Feed</name>
    <message>
        <source>ブローカーの指定に誤りがあります。
mqtt://ホスト名[:ポート] または mqtts://ホスト名[:ポート] の形で入力してください。
%1</source>
        <translation>The broker is not valid.
Enter it as mqtt://host[:port] or mqtts://host[:port].
%1</translation>
    </message>
    <message>
        <source>%1 %2 がありません。</source>
        <translation>The %1 %2 does not exist.</translation>
    </message>
    <message>
        <source>%1 %2 はファイルではありません。</source>
        <translation>The %1 %2 is not a file.</translation>
    </message>
    <message>
        <source>%1 %2 を読めません。
%3</source>
        <translation>The %1 %2 cannot be read.
%3</translation>
    </message>
    <message>
        <source>パスワードファイル</source>
        <translation>password file</translation>
    </message>
    <message>
        <source>CA証明書ファイル</source>
        <translation>CA certificate file</translation>
    </message>
    <message>
        <source>パスワードファイルを使うにはユーザー名も入力してください。</source>
        <translation>Enter a user name too to use a password file.</translation>
    </message>
    <message>
        <source>%1 %2 はグループやほかのユーザーも読めます。
所有者だけが読めるようにしてください（chmod 600）。</source>
        <translation>The %1 %2 can be read by its group or other users.
Make it readable by its owner only (chmod 600).</translation>
    </message>
    <message>
        <source>CA証明書ファイルは mqtts:// のブローカーにだけ使えます。</source>
        <translation>A CA certificate file can be used only with an mqtts:// broker.</translation>
    </message>
    <message>
        <source>%1 %2 に証明書（PEM 形式）がありません。</source>
        <translation>The %1 %2 holds no certificate (PEM format).</translation>
    </message>
    <message>
        <source>ブローカーの指定にユーザー名やパスワードは書けません。
「ユーザー名」と「パスワードファイル」を使ってください。</source>
        <translation>The broker cannot hold a user name or password.
Use &quot;User name&quot; and &quot;Password file&quot;.</translation>
    </message>
    <message>
        <source>トピックに誤りがあります。
+ や # を含まない名前を入力してください（空欄: k12inc/ホスト名）。</source>
        <translation>The topic is not valid.
Enter a name without + or # (empty: k12inc/host name).</translation>
    </message>
    <message>
        <source>ライブ配信のブローカーに接続しました。
%1</source>
        <translation>The live feed is connected to its broker.
%1</translation>
    </message>
    <message>
        <source>配信: %1 に接続しました</source>
        <comment>the recorder&apos;s line</comment>
        <translation>feed connected to %1</translation>
    </message>
    <message>
        <source>ライブ配信のブローカーとの接続が切れました。測定は続け、接続でき次第続きを配信します。
%1
%2</source>
        <translation>The live feed lost its broker. Measuring goes on; the feed goes on as soon as the broker is back.
%1
%2</translation>
    </message>
    <message>
        <source>配信: %1 との接続が切れました: %2</source>
        <comment>the recorder&apos;s line</comment>
        <translation>feed lost %1: %2</translation>
    </message>
    <message>
        <source>ライブ配信のブローカーに接続できません。測定は続け、接続でき次第配信します。
%1
%2</source>
        <translation>The live feed cannot reach its broker. Measuring goes on; the feed starts as soon as the broker can be reached.
%1
%2</translation>
    </message>
    <message>
        <source>配信: %1 に接続できません: %2</source>
        <comment>the recorder&apos;s line</comment>
        <translation>feed waiting for %1: %2</translation>
    </message>
    <message>
        <source>ライブ配信で %1件をブローカーに届けられませんでした。
%2</source>
        <translation>The live feed could not deliver %1 messages to its broker.
%2</translation>
    </message>
    <message>
        <source>配信: %1件を届けられないまま終わりました</source>
        <comment>the recorder&apos;s line</comment>
        <translation>feed ended with %1 messages undelivered</translation>
    </message>
    <message>
        <source>ライブ配信はすでに始まっています。</source>
        <translation>The live feed has already started.</translation>
    </message>
    <message>
        <source>ライブ配信を準備できません。
%1</source>
        <translation>The live feed cannot be set up.
%1</translation>
    </message>
    <message>
        <source>ライブ配信の TLS を準備できません。
%1</source>
        <translation>TLS for the live feed cannot be set up.
%1</translation>
    </message>
    <message>
        <source>ライブ配信の送信待ちが上限（%1行）を超えたため、古い行から捨てています。</source>
        <translation>More rows wait for the live feed than it keeps (%1 rows): the oldest rows are being dropped.</translation>
    </message>
    <message>
        <source>配信: 送信待ちがいっぱいのため古い行を捨てています</source>
        <comment>the recorder&apos;s line</comment>
        <translation>feed queue full: dropping the oldest rows</translation>
    </message>
    <message>
        <source>配信接続中</source>
        <translation>Feed connecting</translation>
    </message>
    <message>
        <source>配信中</source>
        <translation>Feed on</translation>
    </message>
    <message>
        <source>配信待ち %1行</source>
        <translation>Feed waiting: %1 rows</translation>
    </message>
    <message>
        <source>（%1行破棄）</source>
        <translation> (%1 rows dropped)</translation>
    </message>
    <message>
        <source>配信接続中</source>
        <comment>the recorder&apos;s status</comment>
        <translation>feed connecting</translation>
    </message>
    <message>
        <source>配信中</source>
        <comment>the recorder&apos;s status</comment>
        <translation>feed on</translation>
    </message>
    <message>
        <source>配信待ち %1件</source>
        <comment>the recorder&apos;s status</comment>
        <translation>feed waiting %1 queued</translation>
    </message>
    <message>
        <source> %1件破棄</source>
        <comment>the recorder&apos;s status</comment>
        <translation> %1 dropped</translation>
    </message>
</context>
<context>
    <name>FileDialog</name>
    <message>
        <source>%1 は既に存在します。
上書きしますか？</source>
        <translation>%1 already exists.
Replace it?</translation>
    </message>
    <message>
        <source>%1 は存在しません。
作成しますか？</source>
        <translation>%1 does not exist.
Create it?</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>ModuleData</name>
    <message>
        <source>%1台目: %2</source>
        <translation>Unit %1: %2</translation>
    </message>
</context>
<context>
    <name>MoveTool</name>
    <message>
        <source>左に移動</source>
        <translation>Move left</translation>
    </message>
    <message>
        <source>右に移動</source>
        <translation>Move right</translation>
    </message>
    <message>
        <source>上に移動</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>下に移動</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>左上合わせ</source>
        <translation>To the top left corner</translation>
    </message>
    <message>
        <source>移動</source>
        <translation>Move</translation>
    </message>
</context>
<context>
    <name>Printing</name>
    <message>
        <source>印刷できませんでした。</source>
        <translation>The chart could not be printed.</translation>
    </message>
    <message>
        <source>プリンタが選択されていません。</source>
        <translation>No printer is chosen.</translation>
    </message>
    <message>
        <source>プリンタ「%1」を使用できません。</source>
        <translation>The printer &quot;%1&quot; cannot be used.</translation>
    </message>
    <message>
        <source>データがありません。</source>
        <translation>There is no data.</translation>
    </message>
    <message>
        <source>プリンタ名が無効です。</source>
        <translation>The printer name is not valid.</translation>
    </message>
    <message>
        <source>指定のプリンタがみつかりません。</source>
        <translation>The chosen printer is not found.</translation>
    </message>
    <message>
        <source>グラフ印刷エラー</source>
        <translation>Chart printing error</translation>
    </message>
    <message>
        <source>＜取込設定＞</source>
        <translation>&lt;Settings&gt;</translation>
    </message>
    <message>
        <source>測定日</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>測定間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>グラフの画像を読み込めません。</source>
        <translation>The chart picture cannot be read.</translation>
    </message>
    <message>
        <source>プリンタが設定されていません。</source>
        <translation>No printer is set.</translation>
    </message>
    <message>
        <source>プリンタを使用できません。</source>
        <translation>The printer cannot be used.</translation>
    </message>
    <message>
        <source>印刷ジョブを終了できません。</source>
        <translation>The print job cannot be finished.</translation>
    </message>
</context>
<context>
    <name>RunEngine</name>
    <message numerus="yes">
        <source>%1台目: %n件（%2）</source>
        <translation>
            <numerusform>Unit %1: %n missed (%2)</numerusform>
            <numerusform>Unit %1: %n missed (%2)</numerusform>
        </translation>
    </message>
    <message>
        <source>メモリー不足です。測定値が保存できません</source>
        <translation>Out of memory. The readings cannot be stored</translation>
    </message>
    <message>
        <source>データ入力バッファがいっぱいのため測定を中止します。</source>
        <translation>The input buffer is full: the measurement stops.</translation>
    </message>
    <message>
        <source>リターン文字列不正</source>
        <translation>Invalid reply</translation>
    </message>
    <message>
        <source>タイムアウト</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>使用ユニットにチェックが付いていません。</source>
        <translation>No unit is ticked for use.</translation>
    </message>
    <message>
        <source>エラーメッセージ</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>タイマー設定エラーのため測定開始できません。</source>
        <translation>The timer cannot be set: the measurement cannot start.</translation>
    </message>
    <message>
        <source>%1 に保存しました。</source>
        <translation>Saved to %1 instead.</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>測定時間が経過しました。</source>
        <translation>The run duration is over.</translation>
    </message>
</context>
<context>
    <name>RunJournal</name>
    <message>
        <source>フォルダ %1 を作成できません（%2）。</source>
        <translation>Cannot create the folder %1 (%2).</translation>
    </message>
    <message>
        <source>フォルダ %1 を作成できません。</source>
        <translation>Cannot create the folder %1.</translation>
    </message>
    <message>
        <source>別の k12inc が一時保存を使用中です。</source>
        <translation>Another k12inc is keeping the run on disk.</translation>
    </message>
    <message>
        <source>ロックファイル %1 を作成できません（%2）。</source>
        <translation>Cannot create the lock file %1 (%2).</translation>
    </message>
    <message>
        <source>不明な理由</source>
        <translation>unknown reason</translation>
    </message>
    <message>
        <source>測定データの一時保存ができません。</source>
        <translation>The run cannot be kept on disk while measuring.</translation>
    </message>
    <message>
        <source>%1 を %2 に移動できません（%3）。</source>
        <translation>Cannot move %1 to %2 (%3).</translation>
    </message>
    <message>
        <source>%1 を削除できません。</source>
        <translation>Cannot delete %1.</translation>
    </message>
    <message>
        <source>%1 をディスクに書き込めません（%2）。</source>
        <translation>Cannot write %1 to the disk (%2).</translation>
    </message>
</context>
<context>
    <name>SerialPort</name>
    <message>
        <source>通信設定 &quot;%1&quot; が正しくありません。</source>
        <translation>The line settings &quot;%1&quot; are not valid.</translation>
    </message>
    <message>
        <source>%1 に通信設定を適用できません (%2)。</source>
        <translation>Cannot apply the line settings to %1 (%2).</translation>
    </message>
    <message>
        <source>%1 が見つかりません。</source>
        <translation>%1 is not found.</translation>
    </message>
    <message>
        <source>%1 を開く権限がありません。ユーザーを dialout グループに追加してください。</source>
        <translation>No permission to open %1. Add the user to the dialout group.</translation>
    </message>
    <message>
        <source>%1 は他のプログラムが使用中です。</source>
        <translation>%1 is in use by another program.</translation>
    </message>
    <message>
        <source>%1 を開けません (%2)。</source>
        <translation>Cannot open %1 (%2).</translation>
    </message>
    <message>
        <source>%1 との通信が切断されました。</source>
        <translation>The line to %1 failed.</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>設定ファイルに書き込めません: %1</source>
        <translation>Cannot write the settings file: %1</translation>
    </message>
    <message>
        <source>設定ファイルの形式が正しくありません: %1</source>
        <translation>The settings file is not in the right form: %1</translation>
    </message>
    <message>
        <source>測定条件を保存できませんでした。
%1</source>
        <translation>The settings could not be saved.
%1</translation>
    </message>
    <message>
        <source>時間の入力に誤りがあります。</source>
        <translation>The interval is not valid.</translation>
    </message>
    <message>
        <source>ポート番号の設定に誤りがあります。</source>
        <translation>A COM port number is not valid.</translation>
    </message>
    <message>
        <source>同じポート番号の設定があります。</source>
        <translation>Two units have the same COM port number.</translation>
    </message>
    <message>
        <source>保存先のフォルダーが指定されていません。</source>
        <translation>No folder to save to is given.</translation>
    </message>
    <message>
        <source>保存先のフォルダーがありません。
%1</source>
        <translation>The folder to save to does not exist.
%1</translation>
    </message>
    <message>
        <source>保存先がフォルダーではありません。
%1</source>
        <translation>The place to save to is not a folder.
%1</translation>
    </message>
    <message>
        <source>保存先のフォルダーに書き込めません。
%1
%2</source>
        <translation>Cannot write into the folder to save to.
%1
%2</translation>
    </message>
</context>
<context>
    <name>k12::DialogDatalist</name>
    <message>
        <source>データ表示</source>
        <translation>Data list</translation>
    </message>
    <message>
        <source>データ数</source>
        <translation>Rows</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>k12::DialogMemo</name>
    <message>
        <source>CSVファイル  (*.csv)|*.csv|</source>
        <translation>CSV file  (*.csv)|*.csv|</translation>
    </message>
    <message>
        <source>専用ファイル  (*.zr5)|*.zr5|</source>
        <translation>Data file  (*.zr5)|*.zr5|</translation>
    </message>
    <message>
        <source>データ保存</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>１．</source>
        <translation>1.</translation>
    </message>
    <message>
        <source>２．</source>
        <translation>2.</translation>
    </message>
    <message>
        <source>３．</source>
        <translation>3.</translation>
    </message>
    <message>
        <source>４．</source>
        <translation>4.</translation>
    </message>
    <message>
        <source>５．</source>
        <translation>5.</translation>
    </message>
    <message>
        <source>メモ</source>
        <translation>Memo</translation>
    </message>
    <message>
        <source>ファイルの保存形式</source>
        <translation>File type</translation>
    </message>
    <message>
        <source>専用</source>
        <translation>Data file (.zr5)</translation>
    </message>
    <message>
        <source>次へ</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>戻る</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>書き込み処理がありません。</source>
        <translation>There is no writer for this file type.</translation>
    </message>
    <message>
        <source>ファイル「%1」に保存できませんでした。
%2</source>
        <translation>The data could not be saved to the file &quot;%1&quot;.
%2</translation>
    </message>
</context>
<context>
    <name>k12::DialogSetting</name>
    <message>
        <source>取込設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>comポート番号</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>1台目</source>
        <translation>Unit 1</translation>
    </message>
    <message>
        <source>２台目</source>
        <translation>Unit 2</translation>
    </message>
    <message>
        <source>３台目</source>
        <translation>Unit 3</translation>
    </message>
    <message>
        <source>４台目</source>
        <translation>Unit 4</translation>
    </message>
    <message>
        <source>測定間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>装置タイマー</source>
        <translation>Device timer</translation>
    </message>
    <message>
        <source>PCタイマー</source>
        <translation>PC timer</translation>
    </message>
    <message>
        <source>×100msec</source>
        <translation>× 100 ms</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>エラー時も測定を続ける</source>
        <translation>Go on measuring through unit errors</translation>
    </message>
    <message>
        <source>満杯時に保存して測定を続ける</source>
        <translation>Save when full and go on measuring</translation>
    </message>
    <message>
        <source>保存先</source>
        <translation>Save to</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>測定時間</source>
        <translation>Run duration</translation>
    </message>
    <message>
        <source>分（0: 制限なし）</source>
        <translation>min (0: no limit)</translation>
    </message>
    <message>
        <source>ライブ配信</source>
        <translation>Live feed</translation>
    </message>
    <message>
        <source>ブローカー</source>
        <translation>Broker</translation>
    </message>
    <message>
        <source>mqtt://ホスト名:1883</source>
        <translation>mqtt://host:1883</translation>
    </message>
    <message>
        <source>mqtt://ホスト名[:ポート] または mqtts://ホスト名[:ポート]（空欄: 配信しない）</source>
        <translation>mqtt://host[:port] or mqtts://host[:port] (empty: no feed)</translation>
    </message>
    <message>
        <source>トピック</source>
        <translation>Topic</translation>
    </message>
    <message>
        <source>クライアントID</source>
        <translation>Client ID</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>automatic</translation>
    </message>
    <message>
        <source>ユーザー名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>パスワードファイル</source>
        <translation>Password file</translation>
    </message>
    <message>
        <source>すべてのファイル (*)|*|</source>
        <translation>All files (*)|*|</translation>
    </message>
    <message>
        <source>CA証明書</source>
        <translation>CA certificate</translation>
    </message>
    <message>
        <source>システムの証明書</source>
        <translation>system certificates</translation>
    </message>
    <message>
        <source>証明書 (*.crt *.pem)|*.crt;*.pem|すべてのファイル (*)|*|</source>
        <translation>Certificates (*.crt *.pem)|*.crt;*.pem|All files (*)|*|</translation>
    </message>
    <message>
        <source>警報（度、空欄: なし）</source>
        <translation>Alerts (degrees, empty: none)</translation>
    </message>
    <message>
        <source>上限</source>
        <translation>High</translation>
    </message>
    <message>
        <source>下限</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>変化</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>その台の最初の値からの変化（円周上で測る）</source>
        <translation>Change from the unit&apos;s first value (measured on the circle)</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>エラーメッセージ</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>（なし）</source>
        <translation> (not present)</translation>
    </message>
    <message>
        <source>%1のポート番号が正しい数値ではありません。</source>
        <translation>The COM port number of %1 is not a valid number.</translation>
    </message>
    <message>
        <source>使用ユニットにチェックが付いていません。</source>
        <translation>No unit is ticked for use.</translation>
    </message>
    <message>
        <source>測定時間の入力に誤りがあります。
0 から %1 までの分数を入力してください（0: 制限なし）。</source>
        <translation>The run duration is not valid.
Enter minutes from 0 to %1 (0: no limit).</translation>
    </message>
</context>
<context>
    <name>k12::FormMain</name>
    <message>
        <source>データ表示</source>
        <translation>Data list</translation>
    </message>
    <message>
        <source>開始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>現在値</source>
        <translation>Current values</translation>
    </message>
    <message>
        <source>表示範囲</source>
        <translation>Display range</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>全表示</source>
        <translation>Show all</translation>
    </message>
    <message>
        <source>自動ｽｸﾛｰﾙ</source>
        <translation>Auto scroll</translation>
    </message>
    <message>
        <source>手動ｽｸﾛｰﾙ</source>
        <translation>Manual scroll</translation>
    </message>
    <message>
        <source>表示データ数</source>
        <translation>Rows shown</translation>
    </message>
    <message>
        <source>取込設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>測定条件保存</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>読込み</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>移動ツールの表示</source>
        <translation>Show the move tool</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>%1台目</source>
        <translation>Unit %1</translation>
    </message>
    <message>
        <source>測定中です。中止してから終了して下さい。</source>
        <translation>A measurement is running. Stop it before quitting.</translation>
    </message>
    <message>
        <source>エラーメッセージ</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>終了しますか？</source>
        <translation>Quit?</translation>
    </message>
    <message>
        <source>データが消去されます。終了してもよろしいですか？</source>
        <translation>The data will be erased. Quit anyway?</translation>
    </message>
    <message>
        <source>設定を変更するとデータが消去されます。よろしいですか？</source>
        <translation>Changing the settings erases the data. Go on?</translation>
    </message>
    <message>
        <source>データがありません</source>
        <translation>There is no data</translation>
    </message>
    <message>
        <source>測定データがありません。</source>
        <translation>There is no measured data.</translation>
    </message>
    <message numerus="yes">
        <source>保存されていない測定データがあります（開始時刻 %1、%n件）。読み込みますか？</source>
        <translation>
            <numerusform>There is an unsaved run (started %1, %n row). Open it?</numerusform>
            <numerusform>There is an unsaved run (started %1, %n rows). Open it?</numerusform>
        </translation>
    </message>
    <message>
        <source>設定値に誤りがあります。</source>
        <translation>The range is not valid.</translation>
    </message>
    <message>
        <source>開始時刻 [ </source>
        <translation>Start time [ </translation>
    </message>
    <message>
        <source>開始からの経過時間（秒）</source>
        <translation>Time since the start (s)</translation>
    </message>
    <message>
        <source>度</source>
        <translation>Degrees</translation>
    </message>
    <message>
        <source>開始時刻  </source>
        <translation>Start time  </translation>
    </message>
    <message>
        <source>測定を開始するとデータが消去されます。よろしいですか？</source>
        <translation>Starting a measurement erases the data. Go on?</translation>
    </message>
    <message>
        <source>現在のファイル: %1 行&#x3000;保存したファイル: %2</source>
        <translation>Current piece: %1 rows   Pieces saved: %2</translation>
    </message>
    <message>
        <source>&#x3000;保存済み: </source>
        <translation>   Last saved: </translation>
    </message>
    <message>
        <source>&#x3000;</source>
        <comment>between the status line&apos;s parts</comment>
        <translation>   </translation>
    </message>
</context>
</TS>
