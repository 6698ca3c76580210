<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AppSettings</name>
    <message>
        <source>The settings file %1 is not used (%2): the settings of this run will not be kept.</source>
        <translation>未使用设置文件 %1（%2）：本次运行的设置将不会保存。</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read, so it is not used: the settings of this run will not be kept.</source>
        <translation>无法读取设置文件 %1，因此未使用：本次运行的设置将不会保存。</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read; it is kept as %2 and the settings start anew.</source>
        <translation>无法读取设置文件 %1；已将其保留为 %2，设置将重新开始。</translation>
    </message>
</context>
<context>
    <name>CRecDataModel</name>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>内容</translation>
    </message>
</context>
<context>
    <name>Dialog</name>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>RuleText</name>
    <message>
        <source>Action : Begin</source>
        <translation>动作：开始</translation>
    </message>
    <message>
        <source>Action : Pause</source>
        <translation>动作：暂停</translation>
    </message>
    <message>
        <source>Action : Resume</source>
        <translation>动作：继续</translation>
    </message>
    <message>
        <source>Action : Stop</source>
        <translation>动作：停止</translation>
    </message>
    <message>
        <source>Receive Anything</source>
        <translation>接收任意数据</translation>
    </message>
    <message>
        <source>Time Absolure</source>
        <translation>绝对时间</translation>
    </message>
    <message>
        <source>Time From Start</source>
        <translation>从开始起的时间</translation>
    </message>
    <message>
        <source>Time From Last Send Begin</source>
        <translation>从上次发送开始起的时间</translation>
    </message>
    <message>
        <source>Time From Last Send End</source>
        <translation>从上次发送结束起的时间</translation>
    </message>
    <message>
        <source>Time From Receive Begin</source>
        <translation>从接收开始起的时间</translation>
    </message>
    <message>
        <source>Time From Receive End</source>
        <translation>从接收结束起的时间</translation>
    </message>
    <message>
        <source>Empty</source>
        <translation>空</translation>
    </message>
    <message>
        <source>%1: Value%2</source>
        <translation>%1：值 %2</translation>
    </message>
    <message>
        <source>Receive Fixed Length : %1</source>
        <translation>接收固定长度：%1</translation>
    </message>
    <message>
        <source>Receive Spec Data : %1</source>
        <translation>接收指定数据：%1</translation>
    </message>
    <message>
        <source>Single:Always</source>
        <translation>单条：总是</translation>
    </message>
    <message>
        <source>Single</source>
        <translation>单条</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>组</translation>
    </message>
    <message>
        <source>%1 | %2</source>
        <translation>%1 | %2</translation>
    </message>
    <message>
        <source>Items count: %1</source>
        <translation>条目数：%1</translation>
    </message>
</context>
<context>
    <name>StartNotices</name>
    <message>
        <source>When Kestrum last ended:</source>
        <translation>Kestrum 上次结束时：</translation>
    </message>
    <message>
        <source>Problems found at start</source>
        <translation>启动时发现的问题</translation>
    </message>
</context>
<context>
    <name>TAnswerHistogram</name>
    <message>
        <source>Answer time histogram</source>
        <translation>应答时间直方图</translation>
    </message>
    <message>
        <source>No answer times.</source>
        <translation>没有应答时间。</translation>
    </message>
    <message numerus="yes">
        <source>%n answer(s) from %1 to %2 ms:</source>
        <translation>
            <numerusform>%n 个应答，自 %1 至 %2 ms：</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 from %2 ms;</source>
        <translation>%1 个自 %2 ms；</translation>
    </message>
</context>
<context>
    <name>TAnswerTimesCommands</name>
    <message>
        <source>Answer Times</source>
        <translation>应答时间</translation>
    </message>
</context>
<context>
    <name>TAnswerTimesPanel</name>
    <message>
        <source>Answer times</source>
        <translation>应答时间</translation>
    </message>
    <message>
        <source>Answer times by unit and function</source>
        <translation>按单元和功能的应答时间</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>单元</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>功能</translation>
    </message>
    <message>
        <source>Requests</source>
        <translation>请求</translation>
    </message>
    <message>
        <source>Answered</source>
        <translation>已应答</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>缺失</translation>
    </message>
    <message>
        <source>Exceptions</source>
        <translation>异常</translation>
    </message>
    <message>
        <source>Min ms</source>
        <translation>最小 ms</translation>
    </message>
    <message>
        <source>Median ms</source>
        <translation>中位数 ms</translation>
    </message>
    <message>
        <source>99% ms</source>
        <translation>99% ms</translation>
    </message>
    <message>
        <source>Max ms</source>
        <translation>最大 ms</translation>
    </message>
    <message>
        <source>&amp;Reset</source>
        <translation>重置(&amp;R)</translation>
    </message>
    <message>
        <source>Reset the answer times</source>
        <translation>重置应答时间</translation>
    </message>
    <message>
        <source>Copy as &amp;CSV</source>
        <translation>复制为 CSV(&amp;C)</translation>
    </message>
    <message>
        <source>Copy the answer times as CSV</source>
        <translation>将应答时间复制为 CSV</translation>
    </message>
</context>
<context>
    <name>TCaptureCommands</name>
    <message>
        <source>&amp;Capture to File…</source>
        <translation>捕获到文件(&amp;C)…</translation>
    </message>
    <message>
        <source>S&amp;top Capture</source>
        <translation>停止捕获(&amp;T)</translation>
    </message>
</context>
<context>
    <name>TChecksumEdit</name>
    <message>
        <source>Checksum algorithm</source>
        <translation>校验和算法</translation>
    </message>
    <message>
        <source>CRC width</source>
        <translation>CRC 位宽</translation>
    </message>
    <message>
        <source>Polynomial</source>
        <translation>多项式</translation>
    </message>
    <message>
        <source>Initial value</source>
        <translation>初始值</translation>
    </message>
    <message>
        <source>Final XOR</source>
        <translation>结果异或值</translation>
    </message>
    <message>
        <source>Reflect &amp;input</source>
        <translation>输入反转(&amp;I)</translation>
    </message>
    <message>
        <source>Reflect input</source>
        <translation>输入反转</translation>
    </message>
    <message>
        <source>Reflect o&amp;utput</source>
        <translation>输出反转(&amp;U)</translation>
    </message>
    <message>
        <source>Reflect output</source>
        <translation>输出反转</translation>
    </message>
    <message>
        <source>&amp;Width (bits):</source>
        <translation>位宽（位）(&amp;W)：</translation>
    </message>
    <message>
        <source>&amp;Polynomial (hex):</source>
        <translation>多项式（十六进制）(&amp;P)：</translation>
    </message>
    <message>
        <source>I&amp;nitial value (hex):</source>
        <translation>初始值（十六进制）(&amp;N)：</translation>
    </message>
    <message>
        <source>&amp;Final XOR (hex):</source>
        <translation>结果异或值（十六进制）(&amp;F)：</translation>
    </message>
    <message>
        <source>Byte order</source>
        <translation>字节顺序</translation>
    </message>
    <message>
        <source>High byte first</source>
        <translation>高字节在前</translation>
    </message>
    <message>
        <source>Low byte first</source>
        <translation>低字节在前</translation>
    </message>
    <message>
        <source>&amp;Algorithm:</source>
        <translation>算法(&amp;A)：</translation>
    </message>
    <message>
        <source>&amp;Byte order:</source>
        <translation>字节顺序(&amp;B)：</translation>
    </message>
    <message>
        <source>The polynomial is not a hex number.</source>
        <translation>多项式不是十六进制数。</translation>
    </message>
    <message>
        <source>The initial value is not a hex number.</source>
        <translation>初始值不是十六进制数。</translation>
    </message>
    <message>
        <source>The final XOR is not a hex number.</source>
        <translation>结果异或值不是十六进制数。</translation>
    </message>
    <message>
        <source>A value is wider than the CRC.</source>
        <translation>有一个值超出了 CRC 的位宽。</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
</context>
<context>
    <name>TConsoleCommands</name>
    <message>
        <source>&amp;Console</source>
        <translation>控制台(&amp;C)</translation>
    </message>
    <message>
        <source>Console keys</source>
        <translation>控制台按键</translation>
    </message>
    <message>
        <source>Console</source>
        <translation>控制台</translation>
    </message>
    <message>
        <source>Console Settin&amp;gs...</source>
        <translation>控制台设置(&amp;G)...</translation>
    </message>
    <message>
        <source>Console: Ctrl+Shift+T back to the log · Ctrl+Shift+M menus · Ctrl+Shift+C/V copy/paste</source>
        <translation>控制台：Ctrl+Shift+T 返回日志 · Ctrl+Shift+M 菜单 · Ctrl+Shift+C/V 复制/粘贴</translation>
    </message>
    <message>
        <source>console: received data came faster than it could be shown, some dropped</source>
        <translation>控制台：接收数据快于显示速度，部分已丢弃</translation>
    </message>
    <message>
        <source>console: the device is not taking data, keys dropped</source>
        <translation>控制台：设备不接收数据，按键已丢弃</translation>
    </message>
    <message>
        <source>console: the port is not open, keys dropped</source>
        <translation>控制台：端口未打开，按键已丢弃</translation>
    </message>
    <message>
        <source>console: a file is being sent, keys dropped</source>
        <translation>控制台：正在发送文件，按键已丢弃</translation>
    </message>
</context>
<context>
    <name>TConsoleView</name>
    <message>
        <source>Console</source>
        <translation>控制台</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message>
        <source>Paste %1 lines into the console?</source>
        <translation>将 %1 行粘贴到控制台？</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Send Size</source>
        <translation>发送窗口大小</translation>
    </message>
    <message>
        <source>Local Echo</source>
        <translation>本地回显</translation>
    </message>
    <message>
        <source>Clear Scrollback</source>
        <translation>清除回滚缓冲</translation>
    </message>
</context>
<context>
    <name>TFindBar</name>
    <message>
        <source>F&amp;ind:</source>
        <translation>查找(&amp;I)：</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>He&amp;x bytes</source>
        <translation>十六进制字节(&amp;X)</translation>
    </message>
    <message>
        <source>Hex bytes</source>
        <translation>十六进制字节</translation>
    </message>
    <message>
        <source>Match &amp;case</source>
        <translation>区分大小写(&amp;C)</translation>
    </message>
    <message>
        <source>Match case</source>
        <translation>区分大小写</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>Find Previous (Shift+F3)</source>
        <translation>查找上一个 (Shift+F3)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>Find Next (F3)</source>
        <translation>查找下一个 (F3)</translation>
    </message>
    <message>
        <source>Find result</source>
        <translation>查找结果</translation>
    </message>
    <message>
        <source>Close Find Bar</source>
        <translation>关闭查找栏</translation>
    </message>
    <message>
        <source>Not valid hex</source>
        <translation>不是有效的十六进制</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>正在查找...</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>未找到</translation>
    </message>
</context>
<context>
    <name>TFindCommands</name>
    <message>
        <source>&amp;Find...</source>
        <translation>查找(&amp;F)...</translation>
    </message>
    <message>
        <source>Find &amp;Next</source>
        <translation>查找下一个(&amp;N)</translation>
    </message>
    <message>
        <source>Find Pre&amp;vious</source>
        <translation>查找上一个(&amp;V)</translation>
    </message>
</context>
<context>
    <name>TFirstStartHint</name>
    <message>
        <source>How to begin</source>
        <translation>如何开始</translation>
    </message>
    <message>
        <source>Nothing has been received yet. To begin, open a port with Operate &gt; Open Port. To try the program without a device, open the demo board, a small board it plays itself.</source>
        <translation>尚未接收到任何数据。要开始，请用“操作 &gt; 打开端口”打开一个端口。要在没有设备的情况下试用本程序，请打开演示开发板，这是一块由程序自己模拟的小板子。</translation>
    </message>
    <message>
        <source>Open the demo board...</source>
        <translation>打开演示开发板...</translation>
    </message>
    <message>
        <source>Open the demo board</source>
        <translation>打开演示开发板</translation>
    </message>
</context>
<context>
    <name>TFrameLineCommands</name>
    <message>
        <source>One Line per Frame</source>
        <translation>每帧一行</translation>
    </message>
    <message>
        <source>While the traffic is framed, each frame gets one log line; without framing the log is as before</source>
        <translation>流量分帧时，每帧占一行日志；不分帧时日志保持原样</translation>
    </message>
</context>
<context>
    <name>TFramesCommands</name>
    <message>
        <source>&amp;Frames</source>
        <translation>帧(&amp;F)</translation>
    </message>
    <message>
        <source>Frames &amp;Without the Log</source>
        <translation>只显示帧，不显示日志(&amp;W)</translation>
    </message>
</context>
<context>
    <name>TFramesModel</name>
    <message>
        <source>Rx</source>
        <translation>Rx</translation>
    </message>
    <message>
        <source>Tx</source>
        <translation>Tx</translation>
    </message>
    <message>
        <source>A→B</source>
        <translation>A→B</translation>
    </message>
    <message>
        <source>B→A</source>
        <translation>B→A</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>正确</translation>
    </message>
    <message>
        <source>bad</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>cut at max length</source>
        <translation>在最大长度处截断</translation>
    </message>
    <message>
        <source>bad encoding</source>
        <translation>编码错误</translation>
    </message>
    <message>
        <source>at silence floor</source>
        <translation>在静默下限处</translation>
    </message>
    <message>
        <source>stray</source>
        <translation>游离</translation>
    </message>
    <message>
        <source>Time (ms)</source>
        <translation>时间（毫秒）</translation>
    </message>
    <message>
        <source>Gap (ms)</source>
        <translation>间隔（毫秒）</translation>
    </message>
    <message>
        <source>Gap (chars)</source>
        <translation>间隔（字符）</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>长度</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>字节</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>校验</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>摘要</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>from the wrong unit</source>
        <translation>来自错误的单元</translation>
    </message>
    <message>
        <source>to the wrong function</source>
        <translation>对应错误的功能</translation>
    </message>
    <message>
        <source>late: %1 ms</source>
        <translation>迟到：%1 ms</translation>
    </message>
    <message>
        <source>unasked</source>
        <translation>未请求</translation>
    </message>
    <message>
        <source>decoder error: %1</source>
        <translation>解码器错误：%1</translation>
    </message>
</context>
<context>
    <name>TFramesView</name>
    <message>
        <source>Frames</source>
        <translation>帧</translation>
    </message>
    <message>
        <source>Framing hint</source>
        <translation>分帧提示</translation>
    </message>
    <message>
        <source>Direction filter</source>
        <translation>方向筛选</translation>
    </message>
    <message>
        <source>All directions</source>
        <translation>所有方向</translation>
    </message>
    <message>
        <source>Check filter</source>
        <translation>校验筛选</translation>
    </message>
    <message>
        <source>All checks</source>
        <translation>所有校验</translation>
    </message>
    <message>
        <source>Filter text</source>
        <translation>筛选文本</translation>
    </message>
    <message>
        <source>Filter: hex or text</source>
        <translation>筛选：十六进制或文本</translation>
    </message>
    <message>
        <source>Find in frames</source>
        <translation>在帧中查找</translation>
    </message>
    <message>
        <source>Find: hex or text</source>
        <translation>查找：十六进制或文本</translation>
    </message>
    <message>
        <source>Find previous frame</source>
        <translation>查找上一帧</translation>
    </message>
    <message>
        <source>Find next frame</source>
        <translation>查找下一帧</translation>
    </message>
    <message>
        <source>Save CSV...</source>
        <translation>保存 CSV...</translation>
    </message>
    <message>
        <source>Save the frames shown as CSV</source>
        <translation>将显示的帧保存为 CSV</translation>
    </message>
    <message>
        <source>Frames table</source>
        <translation>帧表格</translation>
    </message>
    <message>
        <source>Frame columns</source>
        <translation>帧列</translation>
    </message>
    <message>
        <source>Frames note</source>
        <translation>帧说明</translation>
    </message>
    <message>
        <source>&amp;Copy as CSV</source>
        <translation>复制为 CSV(&amp;C)</translation>
    </message>
    <message>
        <source>Copy as &amp;Text</source>
        <translation>复制为文本(&amp;T)</translation>
    </message>
    <message>
        <source>Framing is off: choose a framing for this link (View &gt; Framing) to see its frames.</source>
        <translation>分帧已关闭：请为此连接选择分帧方式（视图 &gt; 分帧）以查看其帧。</translation>
    </message>
    <message>
        <source>The gap asked for (%1 ms) is below the adapter&apos;s latency timer (%2 ms): frames closer than that may run together. The timer can be lowered with:</source>
        <translation>所需间隔（%1 毫秒）低于适配器的延迟定时器（%2 毫秒）：间隔更短的帧可能连在一起。可用以下命令降低该定时器：</translation>
    </message>
    <message numerus="yes">
        <source>%n older frame(s) dropped (memory limit)</source>
        <translation>
            <numerusform>已丢弃 %n 个较早的帧（内存上限）</numerusform>
        </translation>
    </message>
    <message>
        <source>No frame holds &quot;%1&quot;.</source>
        <translation>没有帧包含“%1”。</translation>
    </message>
    <message numerus="yes">
        <source>%n frame(s) saved to %1</source>
        <translation>
            <numerusform>已将 %n 个帧保存到 %1</numerusform>
        </translation>
    </message>
    <message>
        <source>The frames could not be saved: %1</source>
        <translation>无法保存帧：%1</translation>
    </message>
    <message>
        <source>Save Frames</source>
        <translation>保存帧</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV 文件 (*.csv);;所有文件 (*)</translation>
    </message>
    <message>
        <source>The gap asked for (%1 ms) is below the floor set for this network port (%2 ms): frames closer than that may run together.</source>
        <translation>所需间隔（%1 毫秒）低于为此网络端口设置的下限（%2 毫秒）：间隔更短的帧可能连在一起。</translation>
    </message>
    <message>
        <source>The frames are not decoded: %1</source>
        <translation>帧未被解码：%1</translation>
    </message>
</context>
<context>
    <name>TFramingCommands</name>
    <message>
        <source>Framing...</source>
        <translation>分帧...</translation>
    </message>
</context>
<context>
    <name>THelpWindow</name>
    <message>
        <source>Help file not found!</source>
        <translation>找不到帮助文件！</translation>
    </message>
    <message>
        <source>Kestrum Help</source>
        <translation>Kestrum 帮助</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>目录(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>后退(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation>前进(&amp;F)</translation>
    </message>
    <message>
        <source>F&amp;ind:</source>
        <translation>查找(&amp;I)：</translation>
    </message>
    <message>
        <source>Find in page</source>
        <translation>在页面中查找</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>未找到</translation>
    </message>
    <message>
        <source>Help page</source>
        <translation>帮助页面</translation>
    </message>
</context>
<context>
    <name>TInstantSend</name>
    <message>
        <source>Line ending</source>
        <translation>行尾</translation>
    </message>
    <message>
        <source>Line ending added to instant sends in STRING format</source>
        <translation>以 STRING 格式即时发送时追加的行尾</translation>
    </message>
    <message>
        <source>Enter sends; Up and Down recall earlier sends; Tab moves on; Ctrl+I types a TAB</source>
        <translation>回车发送；上、下方向键调出之前发送的内容；Tab 移到下一个控件；Ctrl+I 输入 TAB 字符</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
</context>
<context>
    <name>TLanguageCommands</name>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>跟随系统(&amp;S)</translation>
    </message>
    <message>
        <source>The language changes at the next start of Kestrum.</source>
        <translation>语言将在 Kestrum 下次启动时更改。</translation>
    </message>
    <message>
        <source>Lang&amp;uage</source>
        <translation>语言(&amp;U)</translation>
    </message>
</context>
<context>
    <name>TLogCapture</name>
    <message>
        <source>the disk did not keep up, and more than %1 waited to be written</source>
        <translation>磁盘写入跟不上，超过 %1 的数据等待写入</translation>
    </message>
    <message>
        <source>it is a link, and a capture never writes through one</source>
        <translation>它是一个符号链接，捕获从不通过链接写入</translation>
    </message>
    <message>
        <source>it is another user&apos;s file</source>
        <translation>它是另一个用户的文件</translation>
    </message>
    <message>
        <source>Capture</source>
        <translation>捕获</translation>
    </message>
    <message>
        <source>Capture to %1 stopped: %2.
Data received from now on is not captured.</source>
        <translation>捕获到 %1 已停止：%2。
此后接收的数据不再捕获。</translation>
    </message>
    <message>
        <source>Capture: %1 %2</source>
        <translation>捕获：%1 %2</translation>
    </message>
    <message>
        <source>Capture: waiting for %1</source>
        <translation>捕获：等待 %1</translation>
    </message>
</context>
<context>
    <name>TLogViewCommands</name>
    <message>
        <source>Date a&amp;nd Time</source>
        <translation>日期和时间(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Milliseconds</source>
        <translation>毫秒(&amp;M)</translation>
    </message>
    <message>
        <source>Split Received &amp;Lines</source>
        <translation>拆分接收行(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Latin-1</source>
        <translation>Latin-1(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;UTF-8</source>
        <translation>UTF-8(&amp;U)</translation>
    </message>
    <message>
        <source>ANSI C&amp;olours</source>
        <translation>ANSI 颜色(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Off</source>
        <translation>关闭(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Strip</source>
        <translation>去除(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;how</source>
        <translation>显示(&amp;H)</translation>
    </message>
    <message>
        <source>Time Since Pre&amp;vious</source>
        <translation>距上一条的时间(&amp;V)</translation>
    </message>
    <message>
        <source>Text Encod&amp;ing</source>
        <translation>文本编码(&amp;I)</translation>
    </message>
    <message>
        <source>Log file(*.log)</source>
        <translation>日志文件(*.log)</translation>
    </message>
    <message>
        <source>Text file(*.txt)</source>
        <translation>文本文件(*.txt)</translation>
    </message>
</context>
<context>
    <name>TModemLines</name>
    <message>
        <source>&amp;DTR</source>
        <translation>DTR(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;RTS</source>
        <translation>RTS(&amp;R)</translation>
    </message>
    <message>
        <source>Send &amp;Break</source>
        <translation>发送 Break 信号(&amp;B)</translation>
    </message>
    <message>
        <source>DTR line</source>
        <translation>DTR 信号线</translation>
    </message>
    <message>
        <source>RTS line</source>
        <translation>RTS 信号线</translation>
    </message>
    <message>
        <source>Send Break</source>
        <translation>发送 Break 信号</translation>
    </message>
    <message>
        <source>: on</source>
        <translation>：开</translation>
    </message>
    <message>
        <source>: off</source>
        <translation>：关</translation>
    </message>
    <message>
        <source>: not available</source>
        <translation>：不可用</translation>
    </message>
</context>
<context>
    <name>TMonitorCommands</name>
    <message>
        <source>The monitor takes the place of this window&apos;s port. Close the port and start the monitor?</source>
        <translation>监视将取代此窗口的端口。关闭端口并开始监视吗？</translation>
    </message>
    <message>
        <source>The monitor did not start: %1</source>
        <translation>监视未能启动：%1</translation>
    </message>
    <message>
        <source>Starting the monitor...</source>
        <translation>正在启动监视...</translation>
    </message>
    <message>
        <source>Close Port stops the start</source>
        <translation>关闭端口可停止启动</translation>
    </message>
    <message>
        <source>Monitoring two ports, bridged</source>
        <translation>正在监视两个端口（桥接）</translation>
    </message>
    <message>
        <source>Monitoring two ports</source>
        <translation>正在监视两个端口</translation>
    </message>
    <message>
        <source>; port B is the virtual port %1 on %2</source>
        <translation>；端口 B 是位于 %2 的虚拟端口 %1</translation>
    </message>
    <message>
        <source>Kestrum - %1</source>
        <translation>Kestrum - %1</translation>
    </message>
    <message>
        <source>Can not Open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>Can not Open %1</source>
        <translation>无法打开 %1</translation>
    </message>
    <message>
        <source>Error Port Setting: %1: %2</source>
        <translation>端口设置错误：%1：%2</translation>
    </message>
    <message>
        <source>Can not start the monitor: %1</source>
        <translation>无法启动监视：%1</translation>
    </message>
    <message>
        <source>The monitor was stopped before it started</source>
        <translation>监视在启动前已被停止</translation>
    </message>
    <message>
        <source>The monitor is already running</source>
        <translation>监视已在运行</translation>
    </message>
    <message>
        <source>Port A and port B are the same port: %1</source>
        <translation>端口 A 和端口 B 是同一个端口：%1</translation>
    </message>
    <message>
        <source>The virtual port path must be a full path (starting with / or ~/): &quot;%1&quot;</source>
        <translation>虚拟端口路径必须是完整路径（以 / 或 ~/ 开头）：“%1”</translation>
    </message>
    <message>
        <source>Can not make a pseudo-terminal: %1</source>
        <translation>无法创建伪终端：%1</translation>
    </message>
    <message>
        <source>Can not set up the pseudo-terminal %1: %2</source>
        <translation>无法设置伪终端 %1：%2</translation>
    </message>
    <message>
        <source>The virtual port path %1 is in use by another monitor</source>
        <translation>虚拟端口路径 %1 正被另一个监视使用</translation>
    </message>
    <message>
        <source>The virtual port path %1 is taken by a file that is not a symbolic link</source>
        <translation>虚拟端口路径 %1 已被一个不是符号链接的文件占用</translation>
    </message>
    <message>
        <source>The virtual port path %1 is a symbolic link to %2, not one left by an earlier monitor</source>
        <translation>虚拟端口路径 %1 是指向 %2 的符号链接，并非之前的监视留下的</translation>
    </message>
    <message>
        <source>The virtual port path %1 is a symbolic link to %2, a pseudo-terminal another program still holds open</source>
        <translation>虚拟端口路径 %1 是指向 %2 的符号链接，该伪终端仍被另一个程序打开</translation>
    </message>
    <message>
        <source>Can not use the virtual port path %1: %2</source>
        <translation>无法使用虚拟端口路径 %1：%2</translation>
    </message>
    <message>
        <source>Can not make the virtual port at %1: %2</source>
        <translation>无法在 %1 创建虚拟端口：%2</translation>
    </message>
</context>
<context>
    <name>TOpenAtStart</name>
    <message>
        <source>Open This &amp;Link at Start</source>
        <translation>启动时打开此连接(&amp;L)</translation>
    </message>
</context>
<context>
    <name>TPcapngExport</name>
    <message>
        <source>&amp;Wireshark Capture (pcapng)…</source>
        <translation>Wireshark 抓包文件 (pcapng)(&amp;W)…</translation>
    </message>
    <message>
        <source>Wireshark capture(*.pcapng)</source>
        <translation>Wireshark 抓包文件(*.pcapng)</translation>
    </message>
    <message>
        <source>&amp;Frames as Wireshark Capture (pcapng)…</source>
        <translation>帧导出为 Wireshark 抓包文件 (pcapng)(&amp;F)…</translation>
    </message>
    <message>
        <source>There are no frames to export: View &gt; Frames shows the frames of a framed link.</source>
        <translation>没有可导出的帧：“视图 &gt; 帧”显示已分帧连接的帧。</translation>
    </message>
    <message>
        <source>Export the Selection (pcapng)</source>
        <translation>导出所选内容 (pcapng)</translation>
    </message>
    <message>
        <source>The selection in the log holds no traffic that is still kept for an export. Clear the selection to export everything.</source>
        <translation>日志中的所选内容不包含仍保留可供导出的通信数据。取消选择即可导出全部内容。</translation>
    </message>
    <message>
        <source>Packets exported from the selection: %1</source>
        <translation>从所选内容导出的数据包：%1</translation>
    </message>
</context>
<context>
    <name>TPlotCanvas</name>
    <message>
        <source>Plot</source>
        <translation>绘图</translation>
    </message>
    <message>
        <source>Left out, not finite: %1</source>
        <translation>已略去的非有限值：%1</translation>
    </message>
    <message>
        <source>Drag across the plot to zoom into a span of time</source>
        <translation>在图上拖动以放大一段时间</translation>
    </message>
</context>
<context>
    <name>TPlotCommands</name>
    <message>
        <source>&amp;Plot</source>
        <translation>绘图(&amp;P)</translation>
    </message>
</context>
<context>
    <name>TPortCommands</name>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Data bits</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>Stop bits</source>
        <translation>停止位</translation>
    </message>
    <message>
        <source>Flow control</source>
        <translation>流控制</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1: %2 on port A (%3), %4 on port B (%5)</source>
        <translation>%1：端口 A (%3) 为 %2，端口 B (%5) 为 %4</translation>
    </message>
    <message>
        <source>%1: %2 on port A (%3); port B is virtual</source>
        <translation>%1：端口 A (%3) 为 %2；端口 B 是虚拟端口</translation>
    </message>
    <message>
        <source>Port: </source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Baud Rate: </source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Data Bits: </source>
        <translation>数据位：</translation>
    </message>
    <message>
        <source>Parity: </source>
        <translation>校验位：</translation>
    </message>
    <message>
        <source>Stop Bits: </source>
        <translation>停止位：</translation>
    </message>
    <message>
        <source>DTC: </source>
        <translation>流控制：</translation>
    </message>
    <message>
        <source>Rec  :</source>
        <translation>收：</translation>
    </message>
    <message>
        <source>Send :</source>
        <translation>发：</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>正在连接 %1...</translation>
    </message>
    <message>
        <source>Close Port stops connecting</source>
        <translation>关闭端口可停止连接</translation>
    </message>
    <message>
        <source>Error Port Setting: %1</source>
        <translation>端口设置错误：%1</translation>
    </message>
    <message>
        <source>Can not Open %1</source>
        <translation>无法打开 %1</translation>
    </message>
    <message>
        <source>: the port is open in window %1</source>
        <translation>：该端口已在窗口 %1 中打开</translation>
    </message>
    <message>
        <source>Port: lost</source>
        <translation>端口：已断开</translation>
    </message>
    <message>
        <source>The port was lost: %1</source>
        <translation>端口连接已断开：%1</translation>
    </message>
    <message>
        <source>server&apos;s</source>
        <translation>由服务器决定</translation>
    </message>
    <message>
        <source>A raw TCP port carries data only: the line settings are the server&apos;s</source>
        <translation>原始 TCP 端口只传输数据：线路设置由服务器决定</translation>
    </message>
    <message>
        <source>Opening %1...</source>
        <translation>正在打开 %1...</translation>
    </message>
    <message>
        <source>Close Port stops opening</source>
        <translation>关闭端口可停止打开</translation>
    </message>
</context>
<context>
    <name>TReceiveCounters</name>
    <message>
        <source>Received: %1 bytes in %2 blocks</source>
        <translation>已接收：%1 字节，共 %2 块</translation>
    </message>
    <message>
        <source>Rec:%1/%2</source>
        <translation>收：%1/%2</translation>
    </message>
    <message>
        <source>Errors:%1</source>
        <translation>错误：%1</translation>
    </message>
    <message>
        <source>Paused:%1</source>
        <translation>暂停：%1</translation>
    </message>
    <message>
        <source>%1 overrun</source>
        <translation>%1 次溢出</translation>
    </message>
    <message>
        <source>%1 framing</source>
        <translation>%1 次帧错误</translation>
    </message>
    <message>
        <source>%1 parity</source>
        <translation>%1 次校验错误</translation>
    </message>
    <message>
        <source>%1 buffer overflow</source>
        <translation>%1 次缓冲区溢出</translation>
    </message>
    <message>
        <source>Line errors: %1</source>
        <translation>线路错误：%1</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>Reading paused %1 times: the window fell %2 MiB behind the port</source>
        <translation>读取已暂停 %1 次：窗口落后端口 %2 MiB</translation>
    </message>
    <message>
        <source>Reading paused: the window fell %1 MiB behind the port</source>
        <translation>读取已暂停：窗口落后端口 %1 MiB</translation>
    </message>
</context>
<context>
    <name>TReceiveFileCommands</name>
    <message>
        <source>&amp;Receive File...</source>
        <translation>接收文件(&amp;R)...</translation>
    </message>
    <message>
        <source>Start &amp;ZMODEM transfers when the device asks</source>
        <translation>设备请求时启动 ZMODEM 传输(&amp;Z)</translation>
    </message>
    <message>
        <source>The port is not open; nothing is received.</source>
        <translation>端口未打开；不接收任何内容。</translation>
    </message>
    <message>
        <source>This build cannot receive files by %1.</source>
        <translation>此版本无法通过 %1 接收文件。</translation>
    </message>
    <message>
        <source>The port is not taking data; nothing is received.</source>
        <translation>端口不接收数据；不接收任何内容。</translation>
    </message>
    <message>
        <source>The device on %1 starts sending files by ZMODEM, into %2. Their names and sizes show as they come.</source>
        <translation>%1 上的设备开始通过 ZMODEM 向 %2 发送文件。文件名和大小将在到达时显示。</translation>
    </message>
</context>
<context>
    <name>TReconnect</name>
    <message>
        <source>Reconnect &amp;Automatically</source>
        <translation>自动重新连接(&amp;A)</translation>
    </message>
    <message>
        <source>Port: lost</source>
        <translation>端口：已断开</translation>
    </message>
    <message>
        <source>The port was lost: %1</source>
        <translation>端口连接已断开：%1</translation>
    </message>
    <message>
        <source>It is reopened when the server answers again.</source>
        <translation>服务器再次应答时将重新打开。</translation>
    </message>
    <message>
        <source>It is reopened when %1 is back.</source>
        <translation>%1 恢复时将重新打开。</translation>
    </message>
    <message>
        <source>It is reopened when %1 is back with the same device (%2).</source>
        <translation>%1 以同一设备 (%2) 恢复时将重新打开。</translation>
    </message>
    <message>
        <source>The last try: %1</source>
        <translation>最近一次尝试：%1</translation>
    </message>
    <message>
        <source>The device is back but did not open: %1</source>
        <translation>设备已恢复，但未能打开：%1</translation>
    </message>
    <message>
        <source>Waiting for %1 to come back</source>
        <translation>等待 %1 恢复</translation>
    </message>
    <message>
        <source>The device is back but could not be opened. Kestrum tries again every 5 seconds; Close Port stops waiting.</source>
        <translation>设备已恢复，但无法打开。Kestrum 每 5 秒重试一次；关闭端口可停止等待。</translation>
    </message>
</context>
<context>
    <name>TRecvChecksum</name>
    <message>
        <source>Check Chec&amp;ksum…</source>
        <translation>校验接收校验和(&amp;K)…</translation>
    </message>
    <message>
        <source>Checksum counts</source>
        <translation>校验和计数</translation>
    </message>
    <message>
        <source>Checksum: %1 ok, %2 bad</source>
        <translation>校验和：%1 正确，%2 错误</translation>
    </message>
</context>
<context>
    <name>TReplayCommands</name>
    <message>
        <source>Re&amp;play Capture…</source>
        <translation>回放捕获(&amp;P)…</translation>
    </message>
    <message>
        <source>Reading %1…</source>
        <translation>正在读取 %1…</translation>
    </message>
    <message>
        <source>Cannot replay %1: %2</source>
        <translation>无法回放 %1：%2</translation>
    </message>
    <message>
        <source>Played all %1 frames</source>
        <translation>已回放全部 %1 帧</translation>
    </message>
    <message>
        <source>Answered %1 requests, %2 without a recorded answer</source>
        <translation>已应答 %1 个请求，%2 个没有记录的应答</translation>
    </message>
    <message>
        <source>Played %1 of %2 frames</source>
        <translation>已回放 %1/%2 帧</translation>
    </message>
    <message>
        <source>Virtual port %1: %2</source>
        <translation>虚拟端口 %1：%2</translation>
    </message>
</context>
<context>
    <name>TScriptCommands</name>
    <message>
        <source>Run &amp;Script...</source>
        <translation>运行脚本(&amp;S)...</translation>
    </message>
    <message>
        <source>Recen&amp;t Scripts</source>
        <translation>最近的脚本(&amp;T)</translation>
    </message>
    <message>
        <source>Sto&amp;p Script</source>
        <translation>停止脚本(&amp;P)</translation>
    </message>
    <message>
        <source>Run Script</source>
        <translation>运行脚本</translation>
    </message>
    <message>
        <source>Lua scripts (*.lua);;All files (*)</source>
        <translation>Lua 脚本 (*.lua);;所有文件 (*)</translation>
    </message>
    <message>
        <source>The port is not open; the script was not started.</source>
        <translation>端口未打开；脚本未启动。</translation>
    </message>
</context>
<context>
    <name>TSendChecksum</name>
    <message>
        <source>Checksum</source>
        <translation>校验和</translation>
    </message>
    <message>
        <source>Checksum of the typed bytes added to instant sends</source>
        <translation>附加到即时发送内容的键入字节校验和</translation>
    </message>
    <message>
        <source>Custom CRC...</source>
        <translation>自定义 CRC...</translation>
    </message>
    <message>
        <source>Checksum place</source>
        <translation>校验和位置</translation>
    </message>
    <message>
        <source>Where the checksum goes when a line ending is added</source>
        <translation>添加行尾时校验和的位置</translation>
    </message>
    <message>
        <source>After line ending</source>
        <translation>行尾之后</translation>
    </message>
    <message>
        <source>Before line ending</source>
        <translation>行尾之前</translation>
    </message>
    <message>
        <source>Checksum:</source>
        <translation>校验和：</translation>
    </message>
    <message>
        <source>Append Checksum</source>
        <translation>追加校验和</translation>
    </message>
    <message>
        <source>, low byte first</source>
        <translation>，低字节在前</translation>
    </message>
    <message>
        <source>, high byte first</source>
        <translation>，高字节在前</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
</context>
<context>
    <name>TSendFileCommands</name>
    <message>
        <source>Send &amp;File...</source>
        <translation>发送文件(&amp;F)...</translation>
    </message>
    <message>
        <source>File transfer progress</source>
        <translation>文件传输进度</translation>
    </message>
    <message>
        <source>Cancel the file transfer</source>
        <translation>取消文件传输</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>The port is not open; the file was not sent.</source>
        <translation>端口未打开；文件未发送。</translation>
    </message>
    <message>
        <source>The port is not taking data; the file was not sent.</source>
        <translation>端口不接收数据；文件未发送。</translation>
    </message>
    <message>
        <source>%1: %2 of %3 bytes, %4 bytes/s</source>
        <translation>%1：%2 / %3 字节，%4 字节/秒</translation>
    </message>
    <message>
        <source>file receive: %1</source>
        <translation>接收文件：%1</translation>
    </message>
    <message>
        <source>file send: %1</source>
        <translation>发送文件：%1</translation>
    </message>
    <message>
        <source>%1 (the port was lost)</source>
        <translation>%1（端口连接已断开）</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1 (the receiver did not acknowledge the end)</source>
        <translation>%1（接收方未确认结束）</translation>
    </message>
</context>
<context>
    <name>TSendMenus</name>
    <message>
        <source>Line &amp;Ending</source>
        <translation>行尾(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;None</source>
        <translation>无(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;CR</source>
        <translation>CR(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;LF</source>
        <translation>LF(&amp;L)</translation>
    </message>
    <message>
        <source>CR L&amp;F</source>
        <translation>CR LF(&amp;F)</translation>
    </message>
    <message>
        <source>Send &amp;Format</source>
        <translation>发送格式(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;String</source>
        <translation>字符串(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Hex</source>
        <translation>十六进制(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Decimal</source>
        <translation>十进制(&amp;D)</translation>
    </message>
    <message>
        <source>String and S&amp;ymbol</source>
        <translation>字符串和符号(&amp;Y)</translation>
    </message>
</context>
<context>
    <name>TSendReports</name>
    <message>
        <source>waiting for the line (Close Port abandons the send)</source>
        <translation>等待线路（关闭端口可放弃发送）</translation>
    </message>
    <message>
        <source>the port was lost; sends are dropped until a port is open</source>
        <translation>端口连接已断开；在端口打开之前，发送的内容将被丢弃</translation>
    </message>
    <message>
        <source>%1 of %2 bytes sent</source>
        <translation>已发送 %1 / %2 字节</translation>
    </message>
    <message>
        <source>send abandoned, %1</source>
        <translation>发送已放弃，%1</translation>
    </message>
    <message>
        <source>the port was lost</source>
        <translation>端口连接已断开</translation>
    </message>
    <message>
        <source>send failed, %1</source>
        <translation>发送失败，%1</translation>
    </message>
    <message>
        <source>Send failed, %1</source>
        <translation>发送失败，%1</translation>
    </message>
    <message>
        <source>auto send: %1</source>
        <translation>自动发送：%1</translation>
    </message>
</context>
<context>
    <name>TStatusArea</name>
    <message>
        <source>Sent: %1 bytes in %2 blocks</source>
        <translation>已发送：%1 字节，共 %2 块</translation>
    </message>
    <message>
        <source>Send:%1/%2</source>
        <translation>发：%1/%2</translation>
    </message>
</context>
<context>
    <name>TThemeCommands</name>
    <message>
        <source>Th&amp;eme</source>
        <translation>主题(&amp;E)</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>主题</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>跟随系统(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Light</source>
        <translation>浅色(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Dark</source>
        <translation>深色(&amp;D)</translation>
    </message>
</context>
<context>
    <name>TTransferAskBar</name>
    <message>
        <source>Transfer started by the device</source>
        <translation>设备发起的传输</translation>
    </message>
    <message>
        <source>What the device sends</source>
        <translation>设备发送的内容</translation>
    </message>
    <message>
        <source>&amp;Accept</source>
        <translation>接受(&amp;A)</translation>
    </message>
    <message>
        <source>Accept the transfer</source>
        <translation>接受传输</translation>
    </message>
    <message>
        <source>Re&amp;fuse</source>
        <translation>拒绝(&amp;F)</translation>
    </message>
    <message>
        <source>Refuse the transfer</source>
        <translation>拒绝传输</translation>
    </message>
    <message>
        <source>Accept without asking on this link</source>
        <translation>在此连接上不再询问直接接受</translation>
    </message>
</context>
<context>
    <name>TWindowManager</name>
    <message>
        <source>New Window</source>
        <translation>新窗口</translation>
    </message>
</context>
<context>
    <name>TZoomCommands</name>
    <message>
        <source>&amp;Zoom</source>
        <translation>缩放(&amp;Z)</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>放大(&amp;I)</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>缩小(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Reset Zoom</source>
        <translation>重置缩放(&amp;R)</translation>
    </message>
</context>
<context>
    <name>TfrmAbout</name>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>确定(&amp;O)</translation>
    </message>
</context>
<context>
    <name>TfrmAscTable</name>
    <message>
        <source>ASCII Table</source>
        <translation>ASCII 码表</translation>
    </message>
    <message>
        <source>No</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>ASCII</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>符号</translation>
    </message>
    <message>
        <source>&amp;Edit Symbol</source>
        <translation>编辑符号(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Load ...</source>
        <translation>载入(&amp;L)...</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>另存为(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Insert</source>
        <translation>插入(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Symbol File (*.sym)|*.sym|Text File(*.txt)|*.txt|All Files(*.*)|*.*</source>
        <translation>符号文件 (*.sym)|*.sym|文本文件(*.txt)|*.txt|所有文件(*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>TfrmAutoSendSetting</name>
    <message>
        <source>Auto Send Rule Setting</source>
        <translation>自动发送规则设置</translation>
    </message>
    <message>
        <source>Priority</source>
        <translation>优先级</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>注释</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>Delete &amp;All</source>
        <translation>全部删除(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>上移(&amp;U)</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>下移(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>载入(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Auto Send Setting (*.ass)|*.ass|Text File(*.txt)|*.txt|All Files(*.*)|*.*</source>
        <translation>自动发送设置 (*.ass)|*.ass|文本文件(*.txt)|*.txt|所有文件(*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>TfrmCapture</name>
    <message>
        <source>Capture to File</source>
        <translation>捕获到文件</translation>
    </message>
    <message>
        <source>Capture file</source>
        <translation>捕获文件</translation>
    </message>
    <message>
        <source>The file name may hold {link}, {port}, {window}, {date}, {time} and {seq}</source>
        <translation>文件名中可以使用 {link}、{port}、{window}、{date}、{time} 和 {seq}</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>浏览(&amp;B)...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>&amp;Lines as shown in the log</source>
        <translation>按日志显示的行(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Raw received bytes</source>
        <translation>原始接收字节(&amp;R)</translation>
    </message>
    <message>
        <source>In the file name: {link} {port} {window} {date} {time} {seq}</source>
        <translation>文件名中可用：{link} {port} {window} {date} {time} {seq}</translation>
    </message>
    <message>
        <source>&amp;New file:</source>
        <translation>新文件(&amp;N)：</translation>
    </message>
    <message>
        <source>New file</source>
        <translation>新文件</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>从不</translation>
    </message>
    <message>
        <source>Each day</source>
        <translation>每天</translation>
    </message>
    <message>
        <source>At a size of</source>
        <translation>达到大小</translation>
    </message>
    <message>
        <source>At each connect</source>
        <translation>每次连接时</translation>
    </message>
    <message>
        <source>New file size in MB</source>
        <translation>新文件大小 (MB)</translation>
    </message>
    <message>
        <source>Com&amp;press finished files</source>
        <translation>压缩已完成的文件(&amp;P)</translation>
    </message>
    <message>
        <source>Compress finished files</source>
        <translation>压缩已完成的文件</translation>
    </message>
    <message>
        <source>&amp;Keep at most</source>
        <translation>最多保留(&amp;K)</translation>
    </message>
    <message>
        <source>Keep at most</source>
        <translation>最多保留</translation>
    </message>
    <message>
        <source>How many to keep</source>
        <translation>保留数量</translation>
    </message>
    <message>
        <source>Keep files or MB</source>
        <translation>按文件数或 MB 保留</translation>
    </message>
    <message>
        <source>files</source>
        <translation>个文件</translation>
    </message>
    <message>
        <source>Start &amp;with this link</source>
        <translation>随此连接启动(&amp;W)</translation>
    </message>
    <message>
        <source>Start &amp;with this link (%1)</source>
        <translation>随此连接启动 (%1)(&amp;W)</translation>
    </message>
    <message>
        <source>Start with this link</source>
        <translation>随此连接启动</translation>
    </message>
    <message>
        <source>Cannot create file %1: %2</source>
        <translation>无法创建文件 %1：%2</translation>
    </message>
    <message>
        <source>Wireshark capture (pc&amp;apng), both directions</source>
        <translation>Wireshark 抓包文件（pcapng），双向(&amp;A)</translation>
    </message>
    <message>
        <source>Log file(*.log);;Text file(*.txt);;Wireshark capture(*.pcapng);;All files(*)</source>
        <translation>日志文件(*.log);;文本文件(*.txt);;Wireshark 抓包文件(*.pcapng);;所有文件(*)</translation>
    </message>
</context>
<context>
    <name>TfrmCheckChecksum</name>
    <message>
        <source>Check Checksum</source>
        <translation>校验接收校验和</translation>
    </message>
    <message>
        <source>Check received checksums</source>
        <translation>校验接收到的校验和</translation>
    </message>
    <message>
        <source>Checksum</source>
        <translation>校验和</translation>
    </message>
    <message>
        <source>The checksum ends</source>
        <translation>校验和位于</translation>
    </message>
    <message>
        <source>Each &amp;line</source>
        <translation>每行末尾(&amp;L)</translation>
    </message>
    <message>
        <source>Choose the checksum the received frames carry.</source>
        <translation>请选择接收帧所带的校验和。</translation>
    </message>
    <message>
        <source>Check &amp;received checksums</source>
        <translation>校验接收到的校验和(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Each received block</source>
        <translation>每个接收块末尾(&amp;E)</translation>
    </message>
</context>
<context>
    <name>TfrmChecksumSetting</name>
    <message>
        <source>Checksum</source>
        <translation>校验和</translation>
    </message>
</context>
<context>
    <name>TfrmConsoleSettings</name>
    <message>
        <source>Console Settings</source>
        <translation>控制台设置</translation>
    </message>
    <message>
        <source>Echo typed keys locally</source>
        <translation>本地回显键入的按键</translation>
    </message>
    <message>
        <source>Enter sends</source>
        <translation>回车键发送</translation>
    </message>
    <message>
        <source>Backspace sends</source>
        <translation>退格键发送</translation>
    </message>
    <message>
        <source>Scrollback lines</source>
        <translation>回滚行数</translation>
    </message>
    <message>
        <source> lines</source>
        <translation> 行</translation>
    </message>
    <message>
        <source>Echo t&amp;yped keys locally</source>
        <translation>在本地回显键入的按键(&amp;Y)</translation>
    </message>
    <message>
        <source>Pause after each pasted character</source>
        <translation>每粘贴一个字符后暂停</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> 毫秒</translation>
    </message>
    <message>
        <source>Pause after each pasted line</source>
        <translation>每粘贴一行后暂停</translation>
    </message>
    <message>
        <source>&amp;Enter sends:</source>
        <translation>回车键发送(&amp;E)：</translation>
    </message>
    <message>
        <source>&amp;Backspace sends:</source>
        <translation>退格键发送(&amp;B)：</translation>
    </message>
    <message>
        <source>&amp;Scrollback:</source>
        <translation>回滚(&amp;S)：</translation>
    </message>
    <message>
        <source>Paste: pause after each c&amp;haracter:</source>
        <translation>粘贴：每个字符后暂停(&amp;H)：</translation>
    </message>
    <message>
        <source>Paste: pause after each &amp;line:</source>
        <translation>粘贴：每行后暂停(&amp;L)：</translation>
    </message>
    <message>
        <source>Received text encoding</source>
        <translation>接收文本的编码</translation>
    </message>
    <message>
        <source>Received te&amp;xt:</source>
        <translation>接收的文本(&amp;X)：</translation>
    </message>
</context>
<context>
    <name>TfrmDataEdit</name>
    <message>
        <source>Data Edit</source>
        <translation>数据编辑</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>数据</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>&amp;ASCII</source>
        <translation>ASCII(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Hex</source>
        <translation>十六进制(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Dec</source>
        <translation>十进制(&amp;D)</translation>
    </message>
    <message>
        <source>ASCII &amp;&amp; &amp;Symbol</source>
        <translation>ASCII 和符号(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Insert Symbol</source>
        <translation>插入符号(&amp;I)</translation>
    </message>
    <message>
        <source>Append Chec&amp;ksum</source>
        <translation>追加校验和(&amp;K)</translation>
    </message>
    <message>
        <source>Append Checksum</source>
        <translation>追加校验和</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Wrong Name. There are should no &quot; in name</source>
        <translation>名称错误。名称中不能含有 &quot;</translation>
    </message>
    <message>
        <source>Tab moves on; Ctrl+I types a TAB</source>
        <translation>Tab 移到下一个控件；Ctrl+I 输入 TAB 字符</translation>
    </message>
    <message>
        <source>Wrong data, please check</source>
        <translation>数据有误，请检查</translation>
    </message>
</context>
<context>
    <name>TfrmEditSymbol</name>
    <message>
        <source>Edit Symbol</source>
        <translation>编辑符号</translation>
    </message>
    <message>
        <source>Use Symbol</source>
        <translation>使用符号</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>符号</translation>
    </message>
    <message>
        <source>Show Nothing</source>
        <translation>不显示</translation>
    </message>
    <message>
        <source>Show As Symbol String</source>
        <translation>显示为符号字符串</translation>
    </message>
    <message>
        <source>ASCII Char:</source>
        <translation>ASCII 字符：</translation>
    </message>
    <message>
        <source>ASCII Code(Hex):</source>
        <translation>ASCII 码（十六进制）：</translation>
    </message>
</context>
<context>
    <name>TfrmEventEdit</name>
    <message>
        <source>Event Edit</source>
        <translation>事件编辑</translation>
    </message>
    <message>
        <source>On &amp;Receive</source>
        <translation>接收时(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Fix Length</source>
        <translation>固定长度(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Spec Data</source>
        <translation>指定数据(&amp;S)</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>On &amp;Time (hh:mm:ss.sss)</source>
        <translation>定时(hh:mm:ss.sss)(&amp;T)</translation>
    </message>
    <message>
        <source>AbsoluteTime</source>
        <translation>绝对时间</translation>
    </message>
    <message>
        <source>From Start</source>
        <translation>从开始起</translation>
    </message>
    <message>
        <source>From Last Send Begin</source>
        <translation>从上次发送开始起</translation>
    </message>
    <message>
        <source>From Last Send End</source>
        <translation>从上次发送结束起</translation>
    </message>
    <message>
        <source>From Last Receive Begin</source>
        <translation>从上次接收开始起</translation>
    </message>
    <message>
        <source>From Last Receive End</source>
        <translation>从上次接收结束起</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>On &amp;Action</source>
        <translation>动作时(&amp;A)</translation>
    </message>
    <message>
        <source>Begin</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Type %1</source>
        <translation>类型 %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid time of day (hh:mm:ss.sss)</source>
        <translation>“%1”不是有效的时间(hh:mm:ss.sss)</translation>
    </message>
    <message>
        <source>A&amp;nything</source>
        <translation>任意数据(&amp;N)</translation>
    </message>
</context>
<context>
    <name>TfrmFramingProfiles</name>
    <message>
        <source>Framing Profiles</source>
        <translation>分帧配置</translation>
    </message>
    <message>
        <source>Framing profiles</source>
        <translation>分帧配置</translation>
    </message>
    <message>
        <source>Profiles</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>Co&amp;py</source>
        <translation>复制(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>N&amp;ame:</source>
        <translation>名称(&amp;A)：</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>方式</translation>
    </message>
    <message>
        <source>Silence</source>
        <translation>静默</translation>
    </message>
    <message>
        <source>Delimiter</source>
        <translation>分隔符</translation>
    </message>
    <message>
        <source>Length field</source>
        <translation>长度字段</translation>
    </message>
    <message>
        <source>Fixed length</source>
        <translation>固定长度</translation>
    </message>
    <message>
        <source>COBS</source>
        <translation>COBS</translation>
    </message>
    <message>
        <source>SLIP</source>
        <translation>SLIP</translation>
    </message>
    <message>
        <source>&amp;Mode:</source>
        <translation>方式(&amp;M)：</translation>
    </message>
    <message>
        <source>Gap in character times</source>
        <translation>以字符时间计的间隔</translation>
    </message>
    <message>
        <source>Floor in milliseconds</source>
        <translation>下限（毫秒）</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>No gap shorter than this is seen. Automatic: the latency timer of a USB adapter; on a network port, none.</source>
        <translation>短于此值的间隔无法识别。自动：USB 适配器的延迟计时器；网络端口上为无。</translation>
    </message>
    <message>
        <source>&amp;Gap (characters):</source>
        <translation>间隔（字符）(&amp;G)：</translation>
    </message>
    <message>
        <source>&amp;Floor (ms):</source>
        <translation>下限（毫秒）(&amp;F)：</translation>
    </message>
    <message>
        <source>Delimiters</source>
        <translation>分隔符</translation>
    </message>
    <message>
        <source>End only</source>
        <translation>仅结束</translation>
    </message>
    <message>
        <source>Start and end</source>
        <translation>开始和结束</translation>
    </message>
    <message>
        <source>Start only</source>
        <translation>仅开始</translation>
    </message>
    <message>
        <source>Delimiters written as</source>
        <translation>分隔符写法</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Start delimiter</source>
        <translation>开始分隔符</translation>
    </message>
    <message>
        <source>End delimiter</source>
        <translation>结束分隔符</translation>
    </message>
    <message>
        <source>&amp;Keep the delimiters in the frame</source>
        <translation>在帧中保留分隔符(&amp;K)</translation>
    </message>
    <message>
        <source>Keep the delimiters in the frame</source>
        <translation>在帧中保留分隔符</translation>
    </message>
    <message>
        <source>De&amp;limiters:</source>
        <translation>分隔符(&amp;L)：</translation>
    </message>
    <message>
        <source>&amp;Written as:</source>
        <translation>写法(&amp;W)：</translation>
    </message>
    <message>
        <source>&amp;Start:</source>
        <translation>开始(&amp;S)：</translation>
    </message>
    <message>
        <source>&amp;End:</source>
        <translation>结束(&amp;E)：</translation>
    </message>
    <message>
        <source>Field offset</source>
        <translation>字段偏移</translation>
    </message>
    <message>
        <source>Field size</source>
        <translation>字段大小</translation>
    </message>
    <message>
        <source>Byte order</source>
        <translation>字节序</translation>
    </message>
    <message>
        <source>Big endian</source>
        <translation>大端</translation>
    </message>
    <message>
        <source>Little endian</source>
        <translation>小端</translation>
    </message>
    <message>
        <source>Added to the value</source>
        <translation>加到值上</translation>
    </message>
    <message>
        <source>What the value counts</source>
        <translation>值所计的内容</translation>
    </message>
    <message>
        <source>The whole frame</source>
        <translation>整个帧</translation>
    </message>
    <message>
        <source>The bytes after the field</source>
        <translation>字段之后的字节</translation>
    </message>
    <message>
        <source>From the field on</source>
        <translation>从字段开始</translation>
    </message>
    <message>
        <source>O&amp;ffset:</source>
        <translation>偏移(&amp;F)：</translation>
    </message>
    <message>
        <source>Si&amp;ze (bytes):</source>
        <translation>大小（字节）(&amp;Z)：</translation>
    </message>
    <message>
        <source>&amp;Byte order:</source>
        <translation>字节序(&amp;B)：</translation>
    </message>
    <message>
        <source>Added to the va&amp;lue:</source>
        <translation>加到值上(&amp;L)：</translation>
    </message>
    <message>
        <source>Count&amp;s:</source>
        <translation>计数(&amp;S)：</translation>
    </message>
    <message>
        <source>Frame length</source>
        <translation>帧长度</translation>
    </message>
    <message>
        <source>&amp;Length (bytes):</source>
        <translation>长度（字节）(&amp;L)：</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>校验</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Bytes at the start not checked</source>
        <translation>开头不校验的字节</translation>
    </message>
    <message>
        <source>Bytes after the check value</source>
        <translation>校验值之后的字节</translation>
    </message>
    <message>
        <source>C&amp;heck:</source>
        <translation>校验(&amp;H)：</translation>
    </message>
    <message>
        <source>Not checked at the s&amp;tart:</source>
        <translation>开头不校验(&amp;T)：</translation>
    </message>
    <message>
        <source>After the check &amp;value:</source>
        <translation>校验值之后(&amp;V)：</translation>
    </message>
    <message>
        <source>Maximum frame length</source>
        <translation>最大帧长度</translation>
    </message>
    <message>
        <source>Time-out in milliseconds</source>
        <translation>超时（毫秒）</translation>
    </message>
    <message>
        <source>Ma&amp;ximum length:</source>
        <translation>最大长度(&amp;X)：</translation>
    </message>
    <message>
        <source>T&amp;ime-out (ms):</source>
        <translation>超时（毫秒）(&amp;I)：</translation>
    </message>
    <message>
        <source>&amp;Use for link:</source>
        <translation>用于连接(&amp;U)：</translation>
    </message>
    <message>
        <source>Use for link</source>
        <translation>用于连接</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Gap (ms)</source>
        <translation>间隔（毫秒）</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>长度</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>字节</translation>
    </message>
    <message>
        <source>The last received bytes, framed by this profile:</source>
        <translation>最近接收的字节，按此配置分帧：</translation>
    </message>
    <message>
        <source>Save the profiles</source>
        <translation>保存配置</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>%1 (built-in)</source>
        <translation>%1（内置）</translation>
    </message>
    <message>
        <source>This delimiter is needed.</source>
        <translation>需要此分隔符。</translation>
    </message>
    <message>
        <source>A profile needs a name.</source>
        <translation>配置需要名称。</translation>
    </message>
    <message>
        <source>A built-in profile has this name.</source>
        <translation>内置配置已使用此名称。</translation>
    </message>
    <message>
        <source>Another profile has this name.</source>
        <translation>另一个配置已使用此名称。</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>copy</source>
        <translation>副本</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>正确</translation>
    </message>
    <message>
        <source>bad</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Decoder</source>
        <translation>解码器</translation>
    </message>
    <message>
        <source>Modbus RTU</source>
        <translation>Modbus RTU</translation>
    </message>
    <message>
        <source>Modbus ASCII</source>
        <translation>Modbus ASCII</translation>
    </message>
    <message>
        <source>NMEA 0183</source>
        <translation>NMEA 0183</translation>
    </message>
    <message>
        <source>Layouts of this profile</source>
        <translation>此配置的布局</translation>
    </message>
    <message>
        <source>Lua file</source>
        <translation>Lua 文件</translation>
    </message>
    <message>
        <source>Automatic: a built-in&apos;s own decoder, or the profile&apos;s layouts when it declares some</source>
        <translation>自动：内置配置自带的解码器，或配置中声明的布局</translation>
    </message>
    <message>
        <source>Lua decoder file</source>
        <translation>Lua 解码器文件</translation>
    </message>
    <message>
        <source>File beside the profiles file</source>
        <translation>与配置文件同目录的文件</translation>
    </message>
    <message>
        <source>Decoder:</source>
        <translation>解码器：</translation>
    </message>
    <message>
        <source>Answer time-out in milliseconds</source>
        <translation>应答超时（毫秒）</translation>
    </message>
    <message>
        <source>Until the next request</source>
        <translation>直到下一个请求</translation>
    </message>
    <message>
        <source>Answer time-out (ms):</source>
        <translation>应答超时（ms）：</translation>
    </message>
    <message>
        <source>A Lua decoder needs the name of its file.</source>
        <translation>Lua 解码器需要其文件名。</translation>
    </message>
</context>
<context>
    <name>TfrmGroupRecord</name>
    <message>
        <source>Group Data Rule</source>
        <translation>组数据规则</translation>
    </message>
    <message>
        <source>Start Event</source>
        <translation>开始事件</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Delay(ms)</source>
        <translation>延时（毫秒）</translation>
    </message>
    <message>
        <source>Stop Event</source>
        <translation>停止事件</translation>
    </message>
    <message>
        <source>Set Stop Event</source>
        <translation>设置停止事件</translation>
    </message>
    <message>
        <source>Step Event</source>
        <translation>步进事件</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>循环</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>Delete &amp;All</source>
        <translation>全部删除(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>上移(&amp;U)</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>下移(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>载入(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>More tools</source>
        <translation>更多工具</translation>
    </message>
    <message>
        <source>Save Log to file</source>
        <translation>将日志保存到文件</translation>
    </message>
    <message>
        <source>Copy Log to Clipboard</source>
        <translation>将日志复制到剪贴板</translation>
    </message>
    <message>
        <source>Erase Log</source>
        <translation>清除日志</translation>
    </message>
    <message>
        <source>Show Send Data</source>
        <translation>显示发送数据</translation>
    </message>
    <message>
        <source>Show Time</source>
        <translation>显示时间</translation>
    </message>
    <message>
        <source>View in Text Format</source>
        <translation>以文本格式显示</translation>
    </message>
    <message>
        <source>Show in Hex format</source>
        <translation>以十六进制格式显示</translation>
    </message>
    <message>
        <source>Show in Decimal format</source>
        <translation>以十进制格式显示</translation>
    </message>
    <message>
        <source>Show in String and Symbol format</source>
        <translation>以字符串和符号格式显示</translation>
    </message>
    <message>
        <source>Link Setting Manager</source>
        <translation>连接设置管理</translation>
    </message>
    <message>
        <source>Close Port</source>
        <translation>关闭端口</translation>
    </message>
    <message>
        <source>Quick Open</source>
        <translation>快速打开</translation>
    </message>
    <message>
        <source>Start Auto Send</source>
        <translation>开始自动发送</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Stop Auto Send</source>
        <translation>停止自动发送</translation>
    </message>
    <message>
        <source>Send Current Data in  List and Go Next</source>
        <translation>发送列表中的当前数据并转到下一条</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>打开(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>另存为(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation>导出(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Import</source>
        <translation>导入(&amp;I)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>查看(&amp;V)</translation>
    </message>
    <message>
        <source>Show &amp;Time</source>
        <translation>显示时间(&amp;T)</translation>
    </message>
    <message>
        <source>Show &amp;SendData</source>
        <translation>显示发送数据(&amp;S)</translation>
    </message>
    <message>
        <source>Te&amp;xt</source>
        <translation>文本(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;Hex</source>
        <translation>十六进制(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Decimal</source>
        <translation>十进制(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;ASCII Table</source>
        <translation>ASCII 码表(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Auto Send</source>
        <translation>自动发送(&amp;A)</translation>
    </message>
    <message>
        <source>Send Data &amp;List</source>
        <translation>发送列表(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Receivd Data List</source>
        <translation>接收列表(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Operate</source>
        <translation>操作(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Open Port</source>
        <translation>打开端口(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Close Port</source>
        <translation>关闭端口(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Quick Open</source>
        <translation>快速打开(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Monitor Two Ports...</source>
        <translation>监视两个端口(&amp;M)...</translation>
    </message>
    <message>
        <source>Pause Auto Send</source>
        <translation>暂停自动发送</translation>
    </message>
    <message>
        <source>Send &amp;Item</source>
        <translation>发送条目(&amp;I)</translation>
    </message>
    <message>
        <source>Send and Go Next</source>
        <translation>发送并转到下一条</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>关于(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Content</source>
        <translation>目录(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Send Current</source>
        <translation>发送当前项(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Copy to Instant Send Edit</source>
        <translation>复制到即时发送框(&amp;C)</translation>
    </message>
    <message>
        <source>Send And Go Next</source>
        <translation>发送并转到下一条</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Line errors</source>
        <translation>线路错误</translation>
    </message>
    <message>
        <source>Traffic log</source>
        <translation>收发日志</translation>
    </message>
    <message>
        <source>Send list</source>
        <translation>发送列表</translation>
    </message>
    <message>
        <source>Instant send data</source>
        <translation>即时发送数据</translation>
    </message>
    <message>
        <source>Instant send format</source>
        <translation>即时发送格式</translation>
    </message>
    <message>
        <source>TextS&amp;ymbol</source>
        <translation>文本和符号(&amp;Y)</translation>
    </message>
    <message>
        <source>Clea&amp;r Display</source>
        <translation>清除显示(&amp;R)</translation>
    </message>
    <message>
        <source>Copy to Clip&amp;board</source>
        <translation>复制到剪贴板(&amp;B)</translation>
    </message>
    <message>
        <source>Send &amp;Data Setting</source>
        <translation>发送数据设置(&amp;D)</translation>
    </message>
    <message>
        <source> - Window %1</source>
        <translation> - 窗口 %1</translation>
    </message>
    <message>
        <source>The port is not taking data; the send was not queued.</source>
        <translation>端口不接收数据；发送未加入队列。</translation>
    </message>
    <message>
        <source>A file is being sent; the send was not queued.</source>
        <translation>正在发送文件；发送未加入队列。</translation>
    </message>
</context>
<context>
    <name>TfrmMonitorSetting</name>
    <message>
        <source>Monitor Two Ports</source>
        <translation>监视两个端口</translation>
    </message>
    <message>
        <source>Virtual port</source>
        <translation>虚拟端口</translation>
    </message>
    <message>
        <source>Bridge</source>
        <translation>桥接</translation>
    </message>
    <message>
        <source>Pass what arrives on each port on to the other</source>
        <translation>将每个端口收到的数据转发到另一个端口</translation>
    </message>
    <message>
        <source>Port A</source>
        <translation>端口 A</translation>
    </message>
    <message>
        <source>Port B</source>
        <translation>端口 B</translation>
    </message>
    <message>
        <source>Virtual port path</source>
        <translation>虚拟端口路径</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>There is no link for Port A: make one with Open Port first</source>
        <translation>端口 A 没有连接：请先用“打开端口”创建一个</translation>
    </message>
    <message>
        <source>Enter the full path of the virtual port, such as </source>
        <translation>请输入虚拟端口的完整路径，例如 </translation>
    </message>
    <message>
        <source>Port A and Port B are the same port</source>
        <translation>端口 A 和端口 B 是同一个端口</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>Master side</source>
        <translation>主站一侧</translation>
    </message>
    <message>
        <source>The side whose frames are requests, paired with the other side&apos;s answers</source>
        <translation>其帧为请求的一侧，与另一侧的应答配对</translation>
    </message>
</context>
<context>
    <name>TfrmOpenPort</name>
    <message>
        <source>LinkName</source>
        <translation>连接名称</translation>
    </message>
    <message>
        <source>Port Name</source>
        <translation>端口名称</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Byte Size</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>停止位</translation>
    </message>
    <message>
        <source>Data Flow Control</source>
        <translation>流控制</translation>
    </message>
    <message>
        <source>InputBuf</source>
        <translation>输入缓冲</translation>
    </message>
    <message>
        <source>OutputBuf</source>
        <translation>输出缓冲</translation>
    </message>
    <message>
        <source>Port Setting(*.cps)|*.cps|Text File(*.txt)|*.txt|All Files(*)|*</source>
        <translation>端口设置(*.cps)|*.cps|文本文件(*.txt)|*.txt|所有文件(*)|*</translation>
    </message>
    <message>
        <source>Open Port</source>
        <translation>打开端口</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>打开(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>载入(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Save As</source>
        <translation>另存为(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>Delete &amp;All</source>
        <translation>全部删除(&amp;A)</translation>
    </message>
    <message>
        <source>No link yet</source>
        <translation>尚无连接</translation>
    </message>
    <message>
        <source>No serial port was found on this machine. Attach the device&apos;s adapter, or start kestrum-vport for a virtual port, then press New to make a link for it.</source>
        <translation>在本机上未找到串口。请接上设备的适配器，或启动 kestrum-vport 以获得虚拟串口，然后按“新建”为其创建连接。</translation>
    </message>
    <message>
        <source>There is no link yet. Press New to make one for a port of this machine.</source>
        <translation>尚无连接。请按“新建”为本机的某个串口创建一个连接。</translation>
    </message>
    <message>
        <source>Demo devices</source>
        <translation>演示设备</translation>
    </message>
    <message>
        <source>To try Kestrum without a device, open one of the demo devices below.</source>
        <translation>若要在没有设备的情况下试用 Kestrum，请打开下面的某个演示设备。</translation>
    </message>
</context>
<context>
    <name>TfrmPlot</name>
    <message>
        <source>&amp;Decoded values:</source>
        <translation>解码值(&amp;D)：</translation>
    </message>
    <message>
        <source>Decoded values</source>
        <translation>解码值</translation>
    </message>
    <message>
        <source>Values of the decoded frames to plot, by name, separated by commas</source>
        <translation>要绘制的解码帧的值，按名称，以逗号分隔</translation>
    </message>
    <message>
        <source>Plot</source>
        <translation>绘图</translation>
    </message>
    <message>
        <source>10 s</source>
        <translation>10 秒</translation>
    </message>
    <message>
        <source>30 s</source>
        <translation>30 秒</translation>
    </message>
    <message>
        <source>1 min</source>
        <translation>1 分钟</translation>
    </message>
    <message>
        <source>5 min</source>
        <translation>5 分钟</translation>
    </message>
    <message>
        <source>Time span</source>
        <translation>时间跨度</translation>
    </message>
    <message>
        <source>How much of the newest data the plot shows</source>
        <translation>图中显示多长时间的最新数据</translation>
    </message>
    <message>
        <source>&amp;Span:</source>
        <translation>跨度(&amp;S)：</translation>
    </message>
    <message>
        <source>&amp;Auto scale</source>
        <translation>自动缩放(&amp;A)</translation>
    </message>
    <message>
        <source>Auto scale</source>
        <translation>自动缩放</translation>
    </message>
    <message>
        <source>Lowest value shown</source>
        <translation>显示的最小值</translation>
    </message>
    <message>
        <source>Highest value shown</source>
        <translation>显示的最大值</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>暂停(&amp;P)</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>清除(&amp;L)</translation>
    </message>
    <message>
        <source>Export &amp;CSV…</source>
        <translation>导出 CSV(&amp;C)…</translation>
    </message>
    <message>
        <source>Export P&amp;NG…</source>
        <translation>导出 PNG(&amp;N)…</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Reset zoom</source>
        <translation>重置缩放</translation>
    </message>
    <message>
        <source>Clear plot</source>
        <translation>清除绘图</translation>
    </message>
    <message>
        <source>Export shown data as CSV</source>
        <translation>将显示的数据导出为 CSV</translation>
    </message>
    <message>
        <source>Export picture as PNG</source>
        <translation>将图像导出为 PNG</translation>
    </message>
    <message>
        <source>to</source>
        <translation>至</translation>
    </message>
    <message>
        <source>Series</source>
        <translation>数据系列</translation>
    </message>
    <message>
        <source>Untick a series to hide it</source>
        <translation>取消勾选以隐藏数据系列</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>继续(&amp;R)</translation>
    </message>
    <message>
        <source>CSV file (*.csv)|*.csv</source>
        <translation>CSV 文件(*.csv)|*.csv</translation>
    </message>
    <message>
        <source>PNG image (*.png)|*.png</source>
        <translation>PNG 图像(*.png)|*.png</translation>
    </message>
    <message>
        <source>Plot - Window %1</source>
        <translation>绘图 - 窗口 %1</translation>
    </message>
    <message>
        <source>Reset &amp;Zoom</source>
        <translation>重置缩放(&amp;Z)</translation>
    </message>
</context>
<context>
    <name>TfrmPortSetting</name>
    <message>
        <source>Port Setting</source>
        <translation>端口设置</translation>
    </message>
    <message>
        <source>LinkName</source>
        <translation>连接名称</translation>
    </message>
    <message>
        <source>Port Name</source>
        <translation>端口名称</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Byte Size</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>停止位</translation>
    </message>
    <message>
        <source>Data Flow Control</source>
        <translation>流控制</translation>
    </message>
    <message>
        <source>Input Buffer</source>
        <translation>输入缓冲</translation>
    </message>
    <message>
        <source>Output Buffer</source>
        <translation>输出缓冲</translation>
    </message>
</context>
<context>
    <name>TfrmRecDataList</name>
    <message>
        <source>Receive Data List</source>
        <translation>接收列表</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>接收数据</translation>
    </message>
    <message>
        <source>&amp;Add to Send Data</source>
        <translation>添加到发送列表(&amp;A)</translation>
    </message>
    <message>
        <source>Delete All</source>
        <translation>全部删除</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>&amp;Merge Up</source>
        <translation>向上合并(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>The edited block is no longer in the list; nothing was changed.</source>
        <translation>所编辑的数据块已不在列表中；未做任何更改。</translation>
    </message>
    <message>
        <source>Some lines of %1 cannot be read.</source>
        <translation>%1 中有些行无法读取。</translation>
    </message>
    <message>
        <source>The file is kept as %1; the list goes on with what could be read.</source>
        <translation>该文件已保留为 %1；列表将使用已能读取的内容继续。</translation>
    </message>
</context>
<context>
    <name>TfrmReceiveFile</name>
    <message>
        <source>Receive File</source>
        <translation>接收文件</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>协议</translation>
    </message>
    <message>
        <source>&amp;Protocol:</source>
        <translation>协议(&amp;P)：</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>浏览(&amp;B)...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>F&amp;older:</source>
        <translation>文件夹(&amp;O)：</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>文件(&amp;F)：</translation>
    </message>
    <message>
        <source>&amp;Receive</source>
        <translation>接收(&amp;R)</translation>
    </message>
    <message>
        <source>Receive</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.</source>
        <translation>文件夹 %1 不存在。</translation>
    </message>
    <message>
        <source>%1 sends no file name: name the file.</source>
        <translation>%1 不发送文件名：请为文件命名。</translation>
    </message>
    <message>
        <source>Largest file of unknown size</source>
        <translation>未知大小文件的上限</translation>
    </message>
    <message>
        <source> MiB</source>
        <translation> MiB</translation>
    </message>
    <message>
        <source>File of unknown size &amp;at most:</source>
        <translation>未知大小的文件最多(&amp;A)：</translation>
    </message>
    <message>
        <source>&amp;Keep what a broken receive got, for a sender that resumes</source>
        <translation>保留中断接收已收到的部分，供发送方续传(&amp;K)</translation>
    </message>
    <message>
        <source>Keep broken receives for resuming</source>
        <translation>保留中断的接收以便续传</translation>
    </message>
    <message>
        <source>Kept parts are hidden files in the folder, named .&lt;file&gt;.part.</source>
        <translation>保留的部分是该文件夹中的隐藏文件，名为 .&lt;文件&gt;.part。</translation>
    </message>
    <message>
        <source>Where kept parts are</source>
        <translation>保留部分的位置</translation>
    </message>
</context>
<context>
    <name>TfrmRecordTypeSelect</name>
    <message>
        <source>Rule Type Select</source>
        <translation>选择规则类型</translation>
    </message>
    <message>
        <source>Rule Type</source>
        <translation>规则类型</translation>
    </message>
    <message>
        <source>Single Data Rule</source>
        <translation>单数据规则</translation>
    </message>
    <message>
        <source>Group Data Rule</source>
        <translation>组数据规则</translation>
    </message>
</context>
<context>
    <name>TfrmReplay</name>
    <message>
        <source>Replay Capture</source>
        <translation>回放捕获</translation>
    </message>
    <message>
        <source>Recording to replay</source>
        <translation>要回放的记录</translation>
    </message>
    <message>
        <source>A pcapng file this program wrote, or a text or raw capture</source>
        <translation>本程序写入的 pcapng 文件，或文本或原始捕获</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>浏览(&amp;B)...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>文件(&amp;F)：</translation>
    </message>
    <message>
        <source>Where the recording plays</source>
        <translation>记录的回放位置</translation>
    </message>
    <message>
        <source>Into this window, as received data</source>
        <translation>回放到本窗口，作为接收的数据</translation>
    </message>
    <message>
        <source>Out of a virtual port, for another program</source>
        <translation>从虚拟端口输出，供其他程序使用</translation>
    </message>
    <message>
        <source>&amp;Play:</source>
        <translation>回放(&amp;P)：</translation>
    </message>
    <message>
        <source>Replay speed</source>
        <translation>回放速度</translation>
    </message>
    <message>
        <source>At the recorded pace</source>
        <translation>按记录的节奏</translation>
    </message>
    <message>
        <source>2 times as fast</source>
        <translation>2 倍速</translation>
    </message>
    <message>
        <source>10 times as fast</source>
        <translation>10 倍速</translation>
    </message>
    <message>
        <source>As fast as possible</source>
        <translation>尽可能快</translation>
    </message>
    <message>
        <source>Frame by frame</source>
        <translation>逐帧</translation>
    </message>
    <message>
        <source>&amp;Speed:</source>
        <translation>速度(&amp;S)：</translation>
    </message>
    <message>
        <source>&amp;Answer requests with the recorded answers</source>
        <translation>用记录的应答回应请求(&amp;A)</translation>
    </message>
    <message>
        <source>Answer requests with the recorded answers</source>
        <translation>用记录的应答回应请求</translation>
    </message>
    <message>
        <source>The recording plays a device: each request of the program under test gets the answer recorded for it</source>
        <translation>记录扮演设备：被测程序的每个请求都会得到为其记录的应答</translation>
    </message>
    <message>
        <source>Replay status</source>
        <translation>回放状态</translation>
    </message>
    <message>
        <source>S&amp;tart</source>
        <translation>开始(&amp;T)</translation>
    </message>
    <message>
        <source>Start the replay</source>
        <translation>开始回放</translation>
    </message>
    <message>
        <source>St&amp;ep</source>
        <translation>单步(&amp;E)</translation>
    </message>
    <message>
        <source>Play the next frame</source>
        <translation>回放下一帧</translation>
    </message>
    <message>
        <source>St&amp;op</source>
        <translation>停止(&amp;O)</translation>
    </message>
    <message>
        <source>Stop the replay</source>
        <translation>停止回放</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Captures(*.pcapng *.pcapng.gz *.log *.txt *.bin *.raw *.gz)</source>
        <translation>捕获文件(*.pcapng *.pcapng.gz *.log *.txt *.bin *.raw *.gz)</translation>
    </message>
    <message>
        <source>All files(*)</source>
        <translation>所有文件(*)</translation>
    </message>
</context>
<context>
    <name>TfrmSendDataList</name>
    <message>
        <source>Send Data List</source>
        <translation>发送列表</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>ShowFormat</source>
        <translation>显示格式</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>Delete  &amp;All</source>
        <translation>全部删除(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>上移(&amp;U)</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>下移(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>载入(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>SendDataSetting (*.sds)|*.sds|Text File(*.txt)|*.txt|All Files(*.*)|*.*</source>
        <translation>发送列表 (*.sds)|*.sds|文本文件(*.txt)|*.txt|所有文件(*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>TfrmSendFile</name>
    <message>
        <source>Send File</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>浏览(&amp;B)...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>文件(&amp;F)：</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>协议</translation>
    </message>
    <message>
        <source>&amp;Protocol:</source>
        <translation>协议(&amp;P)：</translation>
    </message>
    <message>
        <source>Line delay (ms)</source>
        <translation>行间延时（毫秒）</translation>
    </message>
    <message>
        <source>&amp;Line delay (ms):</source>
        <translation>行间延时（毫秒）(&amp;L)：</translation>
    </message>
    <message>
        <source>&amp;Escape every control character</source>
        <translation>转义所有控制字符(&amp;E)</translation>
    </message>
    <message>
        <source>Escape every control character</source>
        <translation>转义所有控制字符</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>发送(&amp;S)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
</context>
<context>
    <name>TfrmSingleRecord</name>
    <message>
        <source>Single Data Rule</source>
        <translation>单数据规则</translation>
    </message>
    <message>
        <source>Single Record</source>
        <translation>单条规则</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Always </source>
        <translation>总是 </translation>
    </message>
    <message>
        <source>Delay Before Send Data (ms)</source>
        <translation>发送前延时（毫秒）</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Send Data</source>
        <translation>发送数据</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
</context>
<context>
    <name>core</name>
    <message>
        <source>the port was opened without time-outs</source>
        <translation>端口打开时未设置超时</translation>
    </message>
    <message>
        <source>the port is not open</source>
        <translation>端口未打开</translation>
    </message>
    <message>
        <source>the driver does not support these settings</source>
        <translation>驱动程序不支持这些设置</translation>
    </message>
    <message>
        <source>the port is already open</source>
        <translation>端口已打开</translation>
    </message>
    <message>
        <source>the operation timed out</source>
        <translation>操作超时</translation>
    </message>
    <message>
        <source>invalid argument</source>
        <translation>无效参数</translation>
    </message>
    <message>
        <source>permission denied (is the user in the dialout group?)</source>
        <translation>权限不足（用户是否在 dialout 组中？）</translation>
    </message>
    <message>
        <source>the port is in use by another program</source>
        <translation>端口正被另一个程序使用</translation>
    </message>
    <message>
        <source>no such port</source>
        <translation>没有这个端口</translation>
    </message>
    <message>
        <source>no device behind this port</source>
        <translation>此端口后面没有设备</translation>
    </message>
    <message>
        <source>the device stopped answering (was it unplugged?)</source>
        <translation>设备不再响应（是否已拔出？）</translation>
    </message>
    <message>
        <source>not a serial port</source>
        <translation>不是串口</translation>
    </message>
    <message>
        <source>the port cannot take these settings</source>
        <translation>端口无法接受这些设置</translation>
    </message>
    <message>
        <source>Received</source>
        <translation>已接收</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>已发送</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>Cancelled by the receiver</source>
        <translation>已被接收方取消</translation>
    </message>
    <message>
        <source>The receiver does not answer</source>
        <translation>接收方没有应答</translation>
    </message>
    <message>
        <source>The receiver refused a block too often</source>
        <translation>接收方拒收数据块的次数过多</translation>
    </message>
    <message>
        <source>The port failed to write</source>
        <translation>端口写入失败</translation>
    </message>
    <message>
        <source>The file could not be read</source>
        <translation>无法读取该文件</translation>
    </message>
    <message>
        <source>Cancelled by the sender</source>
        <translation>已被发送方取消</translation>
    </message>
    <message>
        <source>A received file could not be written</source>
        <translation>无法写入收到的文件</translation>
    </message>
    <message>
        <source>A file ended short of its size</source>
        <translation>有文件未达到其应有大小便已结束</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>“%1”不是有效的整数值</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>无法创建文件 %1</translation>
    </message>
    <message>
        <source>Cannot open file %1</source>
        <translation>无法打开文件 %1</translation>
    </message>
    <message>
        <source>Cannot create file %1: %2</source>
        <translation>无法创建文件 %1：%2</translation>
    </message>
    <message>
        <source>Cannot open file %1: %2</source>
        <translation>无法打开文件 %1：%2</translation>
    </message>
    <message>
        <source>Demo board (simulated)</source>
        <translation>演示开发板（模拟）</translation>
    </message>
    <message>
        <source>Demo echo (simulated)</source>
        <translation>演示回显设备（模拟）</translation>
    </message>
    <message>
        <source>Demo Modbus server (simulated)</source>
        <translation>演示 Modbus 服务器（模拟）</translation>
    </message>
    <message>
        <source>Demo GPS receiver (simulated)</source>
        <translation>演示 GPS 接收器（模拟）</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Kestrum cannot tell whether another Kestrum is working on the folder %1: %2, which it leaves as it is.</source>
        <translation>Kestrum 无法判断是否有另一个 Kestrum 正在使用文件夹 %1：%2，因此不改动它。</translation>
    </message>
    <message>
        <source>Another Kestrum is working on the folder %1 but does not answer.</source>
        <translation>另一个 Kestrum 正在使用文件夹 %1，但没有响应。</translation>
    </message>
    <message>
        <source>This one keeps its working files and settings in %1, so neither overwrites the other&apos;s.</source>
        <translation>本实例将工作文件和设置保存在 %1 中，二者互不覆盖。</translation>
    </message>
</context>
</TS>
