<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AqdefExport</name>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удаётся записать %1: %2</translation>
    </message>
</context>
<context>
    <name>ChartOptions</name>
    <message>
        <source>Try --help.</source>
        <translation>Попробуйте --help.</translation>
    </message>
    <message>
        <source>The lower tolerance limit in micrometres.</source>
        <translation>Нижняя граница допуска в микрометрах.</translation>
    </message>
    <message>
        <source>The upper tolerance limit in micrometres.</source>
        <translation>Верхняя граница допуска в микрометрах.</translation>
    </message>
    <message>
        <source>The nominal size in micrometres (default: the middle of the two limits).</source>
        <translation>Номинальный размер в микрометрах (по умолчанию: середина между границами).</translation>
    </message>
    <message>
        <source>Count only held readings (the head&apos;s hold key): one value per part.</source>
        <translation>Учитывать только зафиксированные показания (кнопка фиксации головки): одно значение на деталь.</translation>
    </message>
    <message>
        <source>Use only the serial port PATH, instead of searching the machine&apos;s ports.</source>
        <translation>Использовать только последовательный порт PATH, не перебирая порты компьютера.</translation>
    </message>
    <message>
        <source>Append the counted readings to the table FILE.</source>
        <translation>Дописывать учтённые показания в таблицу FILE.</translation>
    </message>
    <message>
        <source>The part&apos;s name, shown in the title and the report.</source>
        <translation>Название детали, показываемое в заголовке и в отчёте.</translation>
    </message>
    <message>
        <source>The characteristic&apos;s name, shown in the title and the report.</source>
        <translation>Название контролируемого параметра, показываемое в заголовке и в отчёте.</translation>
    </message>
    <message>
        <source>Show the table FILE the recorder wrote, instead of a head.</source>
        <translation>Показать таблицу FILE, записанную регистратором, вместо головки.</translation>
    </message>
    <message>
        <source>With --from: write the report to FILE (.png, .svg or .pdf), or the readings as an AQDEF transfer file (.dfq), and exit.</source>
        <translation>С --from: записать отчёт в FILE (.png, .svg или .pdf) или показания в файл обмена AQDEF (.dfq) и выйти.</translation>
    </message>
    <message>
        <source>With --from: print the statistics as one JSON object and exit.</source>
        <translation>С --from: вывести статистику одним объектом JSON и выйти.</translation>
    </message>
    <message>
        <source>Shows the readings of a digital length-measuring head, judges them against
tolerance limits and charts them with their statistics; records them, or
reads a table the recorder wrote.</source>
        <translation>Показывает показания цифровой измерительной головки, оценивает их по границам
допуска и строит по ним графики со статистикой; записывает их или читает
таблицу, записанную регистратором.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Лишний аргумент «%1».</translation>
    </message>
    <message>
        <source>%1 given more than once.</source>
        <translation>%1 задан больше одного раза.</translation>
    </message>
    <message>
        <source>%1 needs a non-empty value.</source>
        <translation>Для %1 нужно непустое значение.</translation>
    </message>
    <message>
        <source>--%1 needs a number of micrometres, not &apos;%2&apos;.</source>
        <translation>Для --%1 нужно число микрометров, а не «%2».</translation>
    </message>
    <message>
        <source>--lower is above --upper.</source>
        <translation>--lower больше, чем --upper.</translation>
    </message>
    <message>
        <source>--summary needs --from.</source>
        <translation>--summary требует --from.</translation>
    </message>
    <message>
        <source>--export needs --from.</source>
        <translation>--export требует --from.</translation>
    </message>
    <message>
        <source>--from reads a table; it takes neither --port nor --output.</source>
        <translation>--from читает таблицу; с ним нельзя ни --port, ни --output.</translation>
    </message>
    <message>
        <source>--summary and --export exclude each other.</source>
        <translation>--summary и --export исключают друг друга.</translation>
    </message>
    <message>
        <source>--export needs a file ending in .png, .svg, .pdf or .dfq.</source>
        <translation>--export требует файл с окончанием .png, .svg, .pdf или .dfq.</translation>
    </message>
</context>
<context>
    <name>ChartWindow</name>
    <message>
        <source>over range</source>
        <translation>выше диапазона</translation>
    </message>
    <message>
        <source>under range</source>
        <translation>ниже диапазона</translation>
    </message>
    <message>
        <source>%1 µm</source>
        <translation>%1 мкм</translation>
    </message>
    <message>
        <source>inside</source>
        <translation>в допуске</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>у границы</translation>
    </message>
    <message>
        <source>outside</source>
        <translation>вне допуска</translation>
    </message>
    <message>
        <source>no limits</source>
        <translation>без допуска</translation>
    </message>
    <message>
        <source>%1 — head readout chart</source>
        <translation>%1 — графики показаний головки</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Скрыть</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>table: %1</source>
        <translation>таблица: %1</translation>
    </message>
    <message>
        <source>head: %1</source>
        <translation>головка: %1</translation>
    </message>
    <message>
        <source>&amp;New batch</source>
        <translation>&amp;Новая партия</translation>
    </message>
    <message>
        <source>Clear the statistics and the charts; recording goes on</source>
        <translation>Очистить статистику и графики; запись продолжается</translation>
    </message>
    <message>
        <source>&amp;Save report…</source>
        <translation>&amp;Сохранить отчёт…</translation>
    </message>
    <message>
        <source>Save the report as PNG, SVG or PDF</source>
        <translation>Сохранить отчёт в PNG, SVG или PDF</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Выход</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>Batch</source>
        <translation>Партия</translation>
    </message>
    <message>
        <source>Last held</source>
        <translation>Последнее зафиксированное</translation>
    </message>
    <message>
        <source>recording to %1</source>
        <translation>запись в %1</translation>
    </message>
    <message>
        <source>not recording</source>
        <translation>без записи</translation>
    </message>
    <message>
        <source>reading %1</source>
        <translation>чтение %1</translation>
    </message>
    <message>
        <source>port: %1</source>
        <translation>порт: %1</translation>
    </message>
    <message>
        <source>no head; searching again: %1…</source>
        <translation>головки нет; поиск заново: %1…</translation>
    </message>
    <message>
        <source>searching %1…</source>
        <translation>поиск: %1…</translation>
    </message>
    <message>
        <source>no head; searching again</source>
        <translation>головки нет; поиск заново</translation>
    </message>
    <message>
        <source>Recording stopped: %1</source>
        <translation>Запись остановлена: %1</translation>
    </message>
    <message>
        <source>recording stopped</source>
        <translation>запись остановлена</translation>
    </message>
    <message>
        <source>PNG image (*.png)</source>
        <translation>Изображение PNG (*.png)</translation>
    </message>
    <message>
        <source>SVG image (*.svg)</source>
        <translation>Изображение SVG (*.svg)</translation>
    </message>
    <message>
        <source>PDF document (*.pdf)</source>
        <translation>Документ PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Save report</source>
        <translation>Сохранение отчёта</translation>
    </message>
    <message>
        <source>report.pdf</source>
        <translation>отчёт.pdf</translation>
    </message>
</context>
<context>
    <name>HistogramChart</name>
    <message>
        <source>Histogram</source>
        <translation>Гистограмма</translation>
    </message>
    <message>
        <source>µm</source>
        <translation>мкм</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>Показания</translation>
    </message>
    <message>
        <source>Limits</source>
        <translation>Границы допуска</translation>
    </message>
    <message>
        <source>Nominal</source>
        <translation>Номинал</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <source>Readings</source>
        <translation>Показания</translation>
    </message>
    <message>
        <source>no head</source>
        <translation>без головки</translation>
    </message>
    <message>
        <source>head %1</source>
        <translation>головка %1</translation>
    </message>
    <message>
        <source>%1, no readings</source>
        <translation>%1, показаний нет</translation>
    </message>
    <message>
        <source>%1, %2 to %3</source>
        <translation>%1, с %2 по %3</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удаётся записать %1: %2</translation>
    </message>
    <message>
        <source>cannot write %1: the report could not be drawn</source>
        <translation>не удаётся записать %1: отчёт не удалось нарисовать</translation>
    </message>
</context>
<context>
    <name>RunChart</name>
    <message>
        <source>Run chart</source>
        <translation>График показаний</translation>
    </message>
    <message>
        <source>Reading</source>
        <translation>Показание</translation>
    </message>
    <message>
        <source>µm</source>
        <translation>мкм</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>Показания</translation>
    </message>
    <message>
        <source>Outside the limits</source>
        <translation>Вне допуска</translation>
    </message>
    <message>
        <source>Limits</source>
        <translation>Границы допуска</translation>
    </message>
    <message>
        <source>Nominal</source>
        <translation>Номинал</translation>
    </message>
    <message>
        <source>Mean ± 3 σ within</source>
        <translation>Среднее ± 3 σ внутри</translation>
    </message>
</context>
<context>
    <name>StatisticsRows</name>
    <message>
        <source>%1 µm</source>
        <translation>%1 мкм</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>Показаний</translation>
    </message>
    <message>
        <source>Over range</source>
        <translation>Выше диапазона</translation>
    </message>
    <message>
        <source>Under range</source>
        <translation>Ниже диапазона</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>Среднее</translation>
    </message>
    <message>
        <source>Standard deviation</source>
        <translation>Стандартное отклонение</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Минимум</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Максимум</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>Размах</translation>
    </message>
    <message>
        <source>σ within</source>
        <translation>σ внутри</translation>
    </message>
    <message>
        <source>Lower limit</source>
        <translation>Нижняя граница</translation>
    </message>
    <message>
        <source>Upper limit</source>
        <translation>Верхняя граница</translation>
    </message>
    <message>
        <source>Nominal</source>
        <translation>Номинал</translation>
    </message>
    <message>
        <source>Below the lower limit</source>
        <translation>Ниже нижней границы</translation>
    </message>
    <message>
        <source>Above the upper limit</source>
        <translation>Выше верхней границы</translation>
    </message>
    <message>
        <source>Cp</source>
        <translation>Cp</translation>
    </message>
    <message>
        <source>Cpk</source>
        <translation>Cpk</translation>
    </message>
    <message>
        <source>Pp</source>
        <translation>Pp</translation>
    </message>
    <message>
        <source>Ppk</source>
        <translation>Ppk</translation>
    </message>
</context>
</TS>
