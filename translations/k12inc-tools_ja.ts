<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>Record</name>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 には値が必要です</translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation>%1 は値を取りません</translation>
    </message>
    <message>
        <source>--config needs a file name</source>
        <translation>--config にはファイル名が必要です</translation>
    </message>
    <message>
        <source>--units &quot;%1&quot; is not a list of different units 1..4 (e.g. 1,3)</source>
        <translation>--units &quot;%1&quot; は 1～4 の異なるユニットの並びではありません（例: 1,3）</translation>
    </message>
    <message>
        <source>--pc-timer and --device-timer exclude each other</source>
        <translation>--pc-timer と --device-timer は同時に指定できません</translation>
    </message>
    <message>
        <source>--pc-timer &quot;%1&quot; is not a number of seconds 1..32</source>
        <translation>--pc-timer &quot;%1&quot; は 1～32 の秒数ではありません</translation>
    </message>
    <message>
        <source>--device-timer &quot;%1&quot; is not a number of tenths of a second 1..100</source>
        <translation>--device-timer &quot;%1&quot; は 1～100 の 0.1 秒単位の数ではありません</translation>
    </message>
    <message>
        <source>--minutes &quot;%1&quot; is not a number of minutes 0..%2</source>
        <translation>--minutes &quot;%1&quot; は 0～%2 の分数ではありません</translation>
    </message>
    <message>
        <source>--folder needs a folder</source>
        <translation>--folder にはフォルダーが必要です</translation>
    </message>
    <message>
        <source>--feed needs a broker URL</source>
        <translation>--feed にはブローカーの URL が必要です</translation>
    </message>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>不明なオプション &quot;%1&quot;</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;</source>
        <translation>余分な引数 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>units %1; </source>
        <translation>ユニット %1; </translation>
    </message>
    <message>
        <source>PC timer %1 s</source>
        <translation>PCタイマー %1 秒</translation>
    </message>
    <message>
        <source>device timer %1 ms</source>
        <translation>装置タイマー %1 ms</translation>
    </message>
    <message>
        <source>; pieces into %1</source>
        <translation>; 保存先 %1</translation>
    </message>
    <message>
        <source>; stops after %1 min</source>
        <translation>; %1 分で停止</translation>
    </message>
    <message>
        <source>; goes on through unit faults</source>
        <translation>; エラー時も測定を続ける</translation>
    </message>
    <message>
        <source>; feed %1 topic %2</source>
        <translation>; 配信 %1 トピック %2</translation>
    </message>
    <message>
        <source>; alerts %1</source>
        <translation>; 警報 %1</translation>
    </message>
    <message>
        <source>usage: k12inc-record [OPTION]...

Measures with the settings of the window program (~/.config/K12INC/K12INC.ini: units in
use, COM numbers, timer, interval, [Options], [Feed], [Alerts]) without a window, writing
the run in pieces of 88000 rows into the folder, until SIGINT or SIGTERM, the run duration
or a fault.

  --config FILE          read the settings from FILE instead
  --units LIST           units in use, e.g. 1,3 (1..4)
  --pc-timer SECONDS     PC timer: a row every SECONDS (1..32)
  --device-timer TENTHS  device timer: a row every TENTHS x 100 ms (1..100)
  --continue-on-error    go on through unit faults, leaving holes
  --minutes N            stop after N minutes (0: no limit, at most 527040)
  --folder DIR           write the pieces into DIR
  --feed URL             publish the run live to the MQTT broker URL
                         (mqtt://host[:port] or mqtts://host[:port])
  --quiet                print events only, no status
  --help                 show this text

Status and events go to standard output (on a terminal, a status line rewritten in place),
problems to standard error, each line with the local time in front.
Exit status: 0 the run ended as asked (a signal, --minutes), 1 the units could not start or
a fault ended the run, 2 bad usage or refused settings (one line on standard error).
</source>
        <translation>使い方: k12inc-record [オプション]...

ウィンドウ版の設定（~/.config/K12INC/K12INC.ini: 使用ユニット、COM 番号、タイマー、
測定間隔、[Options]、[Feed]、[Alerts]）でウィンドウなしに測定し、88000 行ごとの
ファイルに分けてフォルダーに保存します。SIGINT か SIGTERM、測定時間の終わり、
またはエラーで終了します。

  --config FILE          FILE から設定を読む
  --units LIST           使用ユニット、例 1,3 (1..4)
  --pc-timer SECONDS     PCタイマー: SECONDS 秒ごとに 1 行 (1..32)
  --device-timer TENTHS  装置タイマー: TENTHS × 100 ms ごとに 1 行 (1..100)
  --continue-on-error    ユニットのエラー時も欠測として測定を続ける
  --minutes N            N 分で停止する（0: 制限なし、最大 527040）
  --folder DIR           ファイルを DIR に保存する
  --feed URL             測定を MQTT ブローカー URL へライブ配信する
                         (mqtt://ホスト名[:ポート] または mqtts://ホスト名[:ポート])
  --quiet                イベントだけを出力し、状況は出力しない
  --help                 この説明を表示する

状況とイベントは標準出力へ（端末では状況の行をその場で書き換えます）、問題は標準エラー
出力へ、各行の先頭に現地時刻を付けて出力します。
終了ステータス: 0 指示どおりに終了（シグナル、--minutes）、1 ユニットを開始できない
かエラーで測定が終了した、2 使い方の誤りか設定の拒否（標準エラー出力に 1 行）。
</translation>
    </message>
    <message>
        <source>the settings file %1 does not exist</source>
        <translation>設定ファイル %1 がありません。</translation>
    </message>
    <message>
        <source>the settings file %1 cannot be read</source>
        <translation>設定ファイル %1 を読めません。</translation>
    </message>
    <message>
        <source>; settings %1</source>
        <translation>; 設定 %1</translation>
    </message>
    <message>
        <source>the settings file %1 is not a valid settings file</source>
        <translation>設定ファイルの形式が正しくありません: %1</translation>
    </message>
</context>
<context>
    <name>UnitSim</name>
    <message>
        <source>Emulates angle units on pseudo-terminals until interrupted (SIGINT or SIGTERM).
Prints one line per unit, &quot;COM&lt;n&gt; &lt;device&gt;&quot; (or only the device when no COM numbers
are given). Lists are comma-separated, one item per unit; the last item repeats.</source>
        <translation>疑似端末上で角度ユニットを模擬します（SIGINT か SIGTERM で終了）。
ユニットごとに &quot;COM&lt;n&gt; &lt;デバイス&gt;&quot; の 1 行を出力します（COM 番号の指定がなければデバイス
だけ）。並びはカンマ区切りでユニットごとに 1 項目、最後の項目が残りのユニットに使われます。</translation>
    </message>
    <message>
        <source>Number of units (1..16, default 1).</source>
        <translation>ユニットの数（1..16、既定 1）。</translation>
    </message>
    <message>
        <source>Register the units as these COM numbers in section [Ports] of ~/.config/K12INC/K12INC.ini while running (e.g. 1,2).</source>
        <translation>動作中、ユニットをこの COM 番号として ~/.config/K12INC/K12INC.ini の [Ports] に登録します（例 1,2）。</translation>
    </message>
    <message>
        <source>Waveform per unit: constant, sine, ramp, noise, counter (1, 2, 3, ...), clock (the unit&apos;s stream periods since the start) (default constant).</source>
        <translation>ユニットごとの波形: constant、sine、ramp、noise、counter (1, 2, 3, ...)、clock（開始からの送信周期の数）（既定 constant）。</translation>
    </message>
    <message>
        <source>Constant reading, sine offset or noise centre per unit (default 12.5).</source>
        <translation>ユニットごとの一定値、正弦波の中心またはノイズの中心（既定 12.5）。</translation>
    </message>
    <message>
        <source>Streaming period in milliseconds per unit (default 100).</source>
        <translation>ユニットごとの送信周期（ミリ秒、既定 100）。</translation>
    </message>
    <message>
        <source>Fault per unit: none, silent, one-char, bare-lf, garbage, cr-only (streamed lines end with CR alone) (default none).</source>
        <translation>ユニットごとの故障: none、silent、one-char、bare-lf、garbage、cr-only（送信行の終わりが CR だけ）（既定 none）。</translation>
    </message>
    <message>
        <source>Reply delay in milliseconds per unit (default 0).</source>
        <translation>ユニットごとの応答の遅れ（ミリ秒、既定 0）。</translation>
    </message>
    <message>
        <source>Hang up after sending this many lines, per unit (default -1: never).</source>
        <translation>ユニットごとに、この行数を送った後で回線を切ります（既定 -1: 切らない）。</translation>
    </message>
    <message>
        <source>After a hang-up, come back this many milliseconds later on a new pseudo-terminal, per unit (default -1: never).</source>
        <translation>ユニットごとに、回線を切ってからこのミリ秒後に新しい疑似端末で戻ります（既定 -1: 戻らない）。</translation>
    </message>
    <message>
        <source>AFTER:COUNT per unit: after answering AFTER commands, answer none of the next COUNT, then answer again (default none).</source>
        <translation>ユニットごとの AFTER:COUNT: AFTER 個のコマンドに応答した後、続く COUNT 個に応答せず、その後また応答します（既定 none）。</translation>
    </message>
    <message>
        <source>AFTER:COUNT per unit: after streaming AFTER lines, stream &quot;   ERROR&quot; in place of the next COUNT readings (default none).</source>
        <translation>ユニットごとの AFTER:COUNT: AFTER 行を送った後、続く COUNT 個の値の代わりに &quot;   ERROR&quot; を送ります（既定 none）。</translation>
    </message>
    <message>
        <source>Lose power after streaming this many lines, with the line left open: stop streaming until the next RUN00, per unit (default -1: never).</source>
        <translation>ユニットごとに、この行数を送った後で電源が切れます（回線はそのまま）: 次の RUN00 まで送信を止めます（既定 -1: 切れない）。</translation>
    </message>
    <message>
        <source>Give unit n the symbolic link DIR/unit&lt;n&gt; to its device, the way a /dev/serial/by-id link follows a USB adapter: gone while the unit is hung up, pointing at its new device when it comes back. The links are printed and registered with --com instead of the devices.</source>
        <translation>ユニット n にデバイスへのシンボリックリンク DIR/unit&lt;n&gt; を作ります。/dev/serial/by-id のリンクが USB アダプターに付いていくように、回線が切れている間はなくなり、戻ると新しいデバイスを指します。デバイスの代わりにリンクを出力し、--com で登録します。</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>余分な引数 %1</translation>
    </message>
    <message>
        <source>--units must be 1..16</source>
        <translation>--units は 1..16 で指定してください</translation>
    </message>
    <message>
        <source>empty item in a list</source>
        <translation>並びに空の項目があります</translation>
    </message>
    <message>
        <source>cannot make the folder %1</source>
        <translation>フォルダー %1 を作成できません</translation>
    </message>
    <message>
        <source>--com needs one COM number per unit</source>
        <translation>--com にはユニットごとに 1 つの COM 番号が必要です</translation>
    </message>
    <message>
        <source>bad COM number %1</source>
        <translation>COM 番号 %1 が正しくありません</translation>
    </message>
    <message>
        <source>unknown waveform %1</source>
        <translation>不明な波形 %1</translation>
    </message>
    <message>
        <source>bad level %1</source>
        <translation>値 %1 が正しくありません</translation>
    </message>
    <message>
        <source>unknown fault %1</source>
        <translation>不明な故障 %1</translation>
    </message>
    <message>
        <source>bad delay %1</source>
        <translation>遅れ %1 が正しくありません</translation>
    </message>
    <message>
        <source>bad line count %1</source>
        <translation>行数 %1 が正しくありません</translation>
    </message>
    <message>
        <source>bad return time %1</source>
        <translation>戻る時間 %1 が正しくありません</translation>
    </message>
    <message>
        <source>--period must be a positive number of milliseconds</source>
        <translation>--period は正のミリ秒数で指定してください</translation>
    </message>
    <message>
        <source>bad silent spell %1 (AFTER:COUNT)</source>
        <translation>無応答の指定 %1 が正しくありません (AFTER:COUNT)</translation>
    </message>
    <message>
        <source>bad error spell %1 (AFTER:COUNT)</source>
        <translation>エラーの指定 %1 が正しくありません (AFTER:COUNT)</translation>
    </message>
    <message>
        <source>cannot write %1</source>
        <translation>%1 に書き込めません</translation>
    </message>
</context>
<context>
    <name>UnitTool</name>
    <message>
        <source>%1: missing %2</source>
        <translation>%1: %2 がありません</translation>
    </message>
    <message>
        <source> and </source>
        <translation> と </translation>
    </message>
    <message>
        <source>%1: unexpected argument &quot;%2&quot;</source>
        <translation>%1: 余分な引数 &quot;%2&quot;</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a COM number (%3..%4)</source>
        <translation>%1: &quot;%2&quot; は COM 番号 (%3..%4) ではありません</translation>
    </message>
    <message>
        <source>Serial devices:</source>
        <translation>シリアルデバイス:</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>（なし）</translation>
    </message>
    <message>
        <source>description:   </source>
        <translation>説明:          </translation>
    </message>
    <message>
        <source>manufacturer:  </source>
        <translation>製造元:        </translation>
    </message>
    <message>
        <source>serial number: </source>
        <translation>シリアル番号:  </translation>
    </message>
    <message>
        <source>by-id:         </source>
        <translation>by-id:         </translation>
    </message>
    <message>
        <source>COM numbers assigned in [Ports] of %1:</source>
        <translation>%1 の [Ports] で割り当てた COM 番号:</translation>
    </message>
    <message>
        <source>present</source>
        <translation>あり</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>Other COM numbers n stand for /dev/ttyS&lt;n-1&gt;.</source>
        <translation>ほかの COM 番号 n は /dev/ttyS&lt;n-1&gt; を指します。</translation>
    </message>
    <message>
        <source>assign: DEVICE &quot;%1&quot; is not an absolute path</source>
        <translation>assign: DEVICE &quot;%1&quot; は絶対パスではありません</translation>
    </message>
    <message>
        <source>%1 does not exist (assign it anyway with --force)</source>
        <translation>%1 がありません（--force でそのまま割り当てられます）</translation>
    </message>
    <message>
        <source>%1 is not a character device (assign it anyway with --force)</source>
        <translation>%1 はキャラクターデバイスではありません（--force でそのまま割り当てられます）</translation>
    </message>
    <message>
        <source>COM%1 now stands for %2</source>
        <translation>COM%1 は %2 を指すようになりました</translation>
    </message>
    <message>
        <source>Note: %1 names the same device and keeps its name when the adapter is plugged in again or elsewhere:</source>
        <translation>注: %1 は同じデバイスの名前で、アダプターを挿し直しても別の口に挿しても変わりません:</translation>
    </message>
    <message>
        <source>COM%1 stands for %2 (it was not assigned)</source>
        <translation>COM%1 は %2 を指します（割り当てはありませんでした）</translation>
    </message>
    <message>
        <source>usage: k12inc-unit probe PORT
       k12inc-unit get PORT [COUNT]
       k12inc-unit log [--wait SECONDS] PORT INTERVAL COUNT
       k12inc-unit ports
       k12inc-unit assign [--force] N DEVICE
       k12inc-unit unassign N

  probe     open the port and check that the unit answers; prints OK
  get       print COUNT single readings (default 1), one per line
  log       stream with INTERVAL readings (1..100) averaged per value and print COUNT
            values as they arrive; gives up when no value arrives for SECONDS (default:
            the time INTERVAL readings take at 100 ms each, plus 5)
  ports     list the serial devices present with their /dev/serial/by-id names, then the
            COM numbers assigned in [Ports] and whether their devices exist now
  assign    make COM number N (1..256) stand for DEVICE, an absolute path (best a
            /dev/serial/by-id name); refuses a DEVICE that does not exist or is not a
            character device (a folder, a plain file) unless --force
  unassign  remove the assignment of COM number N, which then stands for /dev/ttyS&lt;N-1&gt;

PORT is a COM number 1..256 (key COM&lt;n&gt; of section [Ports] in
~/.config/K12INC/K12INC.ini, else /dev/ttyS&lt;n-1&gt;) or a device path starting with /.
Testing aid: K12INC_SERIAL_BY_ID names a folder to use instead of /dev/serial/by-id.
Exit status: 0 success, 1 device error (&quot;error &lt;number&gt;: &lt;description&gt;&quot; on stderr) or
refused assignment, 2 bad usage (what is wrong on stderr, then this text).
</source>
        <translation>使い方: k12inc-unit probe PORT
        k12inc-unit get PORT [COUNT]
        k12inc-unit log [--wait SECONDS] PORT INTERVAL COUNT
        k12inc-unit ports
        k12inc-unit assign [--force] N DEVICE
        k12inc-unit unassign N

  probe     ポートを開き、ユニットが応答することを確かめる。OK を出力する
  get       1 回ずつの読み取り値を COUNT 個（既定 1）、1 行に 1 つ出力する
  log       INTERVAL 個（1..100）の読み取り値を平均して連続で受け取り、届いた値を
            COUNT 個出力する。SECONDS 秒間値が届かなければあきらめる（既定: 100 ms
            ごとの INTERVAL 個の読み取りにかかる時間に 5 を足した秒数）
  ports     今あるシリアルデバイスを /dev/serial/by-id の名前とともに一覧し、続けて
            [Ports] で割り当てた COM 番号とそのデバイスが今あるかどうかを示す
  assign    COM 番号 N (1..256) が DEVICE（絶対パス。/dev/serial/by-id の名前が
            最適）を指すようにする。DEVICE がない、またはキャラクターデバイスでない
            （フォルダー、普通のファイル）ときは --force がなければ断る
  unassign  COM 番号 N の割り当てを消す。N は /dev/ttyS&lt;N-1&gt; を指すようになる

PORT は COM 番号 1..256（~/.config/K12INC/K12INC.ini の [Ports] のキー COM&lt;n&gt;、
なければ /dev/ttyS&lt;n-1&gt;）か、/ で始まるデバイスのパス。
テスト用: K12INC_SERIAL_BY_ID で /dev/serial/by-id の代わりに使うフォルダーを指定できる。
終了ステータス: 0 成功、1 デバイスのエラー（標準エラー出力に &quot;エラー &lt;番号&gt;: &lt;説明&gt;&quot;）
または割り当ての拒否、2 使い方の誤り（標準エラー出力に誤りとこの説明）。
</translation>
    </message>
    <message>
        <source>timeout (no value for %1 s)</source>
        <translation>タイムアウト (%1 秒間値が届きません)</translation>
    </message>
    <message>
        <source>missing command</source>
        <translation>コマンドがありません</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>不明なコマンド &quot;%1&quot;</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;</source>
        <translation>余分な引数 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>missing SECONDS after --wait</source>
        <translation>--wait の後に SECONDS がありません</translation>
    </message>
    <message>
        <source>--wait &quot;%1&quot; is not a positive number of seconds</source>
        <translation>--wait &quot;%1&quot; は正の秒数ではありません</translation>
    </message>
    <message>
        <source>missing PORT</source>
        <translation>PORT がありません</translation>
    </message>
    <message>
        <source>PORT &quot;%1&quot; is neither a COM number (1..256) nor a device path</source>
        <translation>PORT &quot;%1&quot; は COM 番号 (1..256) でもデバイスのパスでもありません</translation>
    </message>
    <message>
        <source>COUNT &quot;%1&quot; is not a positive number</source>
        <translation>COUNT &quot;%1&quot; は正の数ではありません</translation>
    </message>
    <message>
        <source>missing INTERVAL and COUNT</source>
        <translation>INTERVAL と COUNT がありません</translation>
    </message>
    <message>
        <source>missing COUNT</source>
        <translation>COUNT がありません</translation>
    </message>
    <message>
        <source>INTERVAL &quot;%1&quot; is not a number</source>
        <translation>INTERVAL &quot;%1&quot; は数ではありません</translation>
    </message>
    <message>
        <source>error %1: %2</source>
        <translation>エラー %1: %2</translation>
    </message>
</context>
<context>
    <name>Zr5Tool</name>
    <message>
        <source>usage: k12inc-zr5 info FILE
       k12inc-zr5 csv FILE OUT
       k12inc-zr5 csv --join OUT FILE...
       k12inc-zr5 --help

  info  show what the data file FILE holds
  csv   write FILE as the CSV file OUT, as the program exports it;
        with --join, the files (a long run&apos;s pieces) as one CSV file,
        in the order of their start times, whatever order they come in

Exit status: 0 success, 1 refused file or write failure (the
reason on stderr), 2 bad usage.
</source>
        <translation>使い方: k12inc-zr5 info FILE
        k12inc-zr5 csv FILE OUT
        k12inc-zr5 csv --join OUT FILE...
        k12inc-zr5 --help

  info  データファイル FILE の内容を表示する
  csv   FILE をプログラムと同じ形で CSV ファイル OUT に書き出す。
        --join では複数のファイル（長い測定の分割ファイル）を、指定の順に
        かかわらず開始時刻の順に 1 つの CSV ファイルにまとめる

終了ステータス: 0 成功、1 ファイルの拒否か書き込みの失敗（理由は
標準エラー出力）、2 使い方の誤り。
</translation>
    </message>
    <message>
        <source>version: %1</source>
        <translation>バージョン: %1</translation>
    </message>
    <message>
        <source>start time: %1</source>
        <translation>開始時刻: %1</translation>
    </message>
    <message>
        <source>memo %1: %2</source>
        <translation>メモ %1: %2</translation>
    </message>
    <message>
        <source>timer: PC</source>
        <translation>タイマー: PC</translation>
    </message>
    <message>
        <source>timer: device</source>
        <translation>タイマー: 装置</translation>
    </message>
    <message>
        <source>interval: %1 ms</source>
        <translation>測定間隔: %1 ms</translation>
    </message>
    <message>
        <source>ports: %1</source>
        <translation>ポート番号: %1</translation>
    </message>
    <message>
        <source>rows: %1</source>
        <translation>データ数: %1</translation>
    </message>
    <message>
        <source>stored count: %1</source>
        <translation>記録されたデータ数: %1</translation>
    </message>
    <message>
        <source>rows in file: %1 (only the first %2 are loaded)</source>
        <translation>ファイル内のデータ数: %1（読み込むのは最初の %2 件だけ）</translation>
    </message>
    <message>
        <source>units in use: %1</source>
        <translation>使用ユニット: %1</translation>
    </message>
    <message>
        <source>none</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>missing command</source>
        <translation>コマンドがありません</translation>
    </message>
    <message>
        <source>csv --join: missing OUT and FILE</source>
        <translation>csv --join: OUT と FILE がありません</translation>
    </message>
    <message>
        <source>csv --join: missing FILE</source>
        <translation>csv --join: FILE がありません</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>不明なコマンド &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1: missing %2</source>
        <translation>%1: %2 がありません</translation>
    </message>
    <message>
        <source> and </source>
        <translation> と </translation>
    </message>
    <message>
        <source>%1: unexpected argument &quot;%2&quot;</source>
        <translation>%1: 余分な引数 &quot;%2&quot;</translation>
    </message>
</context>
<context>
    <name>k12::Recorder</name>
    <message>
        <source>1 piece</source>
        <translation>1 ファイル</translation>
    </message>
    <message>
        <source>%1 pieces</source>
        <translation>%1 ファイル</translation>
    </message>
    <message>
        <source>signal %1</source>
        <translation>シグナル %1</translation>
    </message>
    <message>
        <source>a run journal left by an earlier program (start %1, %2 rows) is kept in %3</source>
        <translation>前のプログラムが残した一時保存（開始時刻 %1、%2件）を %3 に保管しました</translation>
    </message>
    <message>
        <source>started %1: %2; %3</source>
        <translation>開始 %1: %2; %3</translation>
    </message>
    <message>
        <source>journal %1</source>
        <translation>一時保存 %1</translation>
    </message>
    <message>
        <source>no journal</source>
        <translation>一時保存なし</translation>
    </message>
    <message>
        <source>%1 ignored: the run is ending</source>
        <translation>%1 を無視しました: 測定を終了中です</translation>
    </message>
    <message>
        <source>%1: stopping the run</source>
        <translation>%1: 測定を停止します</translation>
    </message>
    <message>
        <source>piece %1 written: %2 (%3 rows)</source>
        <translation>ファイル %1 を保存しました: %2（%3 行）</translation>
    </message>
    <message>
        <source>stopped by %1</source>
        <translation>%1 で停止</translation>
    </message>
    <message>
        <source>the run duration of %1 min is over</source>
        <translation>測定時間 %1 分が過ぎました</translation>
    </message>
    <message>
        <source>the run could not start</source>
        <translation>測定を開始できませんでした</translation>
    </message>
    <message>
        <source>a fault ended the run</source>
        <translation>エラーで測定が終了しました</translation>
    </message>
    <message>
        <source>the last piece (%1 rows) was not written; its rows stay in the run journal %2</source>
        <translation>最後のファイル（%1 行）を保存できませんでした。データは一時保存 %2 に残っています</translation>
    </message>
    <message>
        <source>the last piece (%1 rows) was not written and is lost</source>
        <translation>最後のファイル（%1 行）を保存できず、データは失われました</translation>
    </message>
    <message>
        <source>ended: %1; %2, %3 rows, %4</source>
        <translation>終了: %1; %2、%3 行、%4</translation>
    </message>
    <message>
        <source>unit %1 down</source>
        <translation>%1台目 エラー</translation>
    </message>
    <message>
        <source>unit %1 down: %2</source>
        <translation>%1台目 エラー: %2</translation>
    </message>
    <message>
        <source>unit %1 back</source>
        <translation>%1台目 復帰</translation>
    </message>
    <message>
        <source>%1  %2 rows  %3  %4  %5 down</source>
        <translation>%1  %2 行  %3  %4  エラー %5 台</translation>
    </message>
    <message>
        <source>error</source>
        <translation>エラー</translation>
    </message>
</context>
</TS>
