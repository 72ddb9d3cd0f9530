// Reading the weather pages and the answer head: a refresh parses both pages every three
// minutes, inside the interface's wait loop, so it must stay far below a frame.
#include "network/weatherparser.h"
#include "network/httpparse.h"

#include <benchmark/benchmark.h>

namespace {

// A current-conditions page of realistic size: the markers among some 60 KB of other markup.
QString CurrentPage() {
  QString filler;
  for (int i = 0; i < 600; ++i)
    filler += QStringLiteral("<div class=\"nav%1\"><a href=\"/x/%1\">link %1</a></div>\n").arg(i);
  return QStringLiteral("<html><body>") + filler +
         QStringLiteral(
             "<td>Wind:</td><td class=\"obsTextA\">From NW at 10 mph</td>\n"
             "<td>UV Index:</td><td class=\"obsTextA\">3 Moderate</td>\n"
             "<td>Pressure:</td><td class=\"obsTextA\">30.12&nbsp;in <img src=\"/icons/up_pressure.gif\"></td>\n") +
         filler +
         QStringLiteral(
             "<script>var OAS_query = 'site=wx&temp=75&dewp=50&hmid=60&vis=10&baro=30&cond=cloud_partly"
             "&temph1=80&templ1=60&zip=12345';</script><div class=\"CM_tag\"></div></body></html>");
}

QString TenDayPage() {
  QString page = QStringLiteral("<html><body><table><tr><td>High Temperatures</td></tr>\n");
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 40; ++j) page += QStringLiteral("<span class=\"pad\">&nbsp;</span>\n");
    page += QStringLiteral(
                "<tr><td id=\"tendayIconDay0%1\"></td><td class=\"blueVerdana\" style=\"padding: 0px;\">"
                "Partly Cloudy</TD><td><B class=\"Text11\">5%1&deg;</B>/3%1&deg;</td>"
                "<td align=\"CENTER\"> %1 % </td></tr>\n")
                .arg(i);
  }
  return page + QStringLiteral("</table><p>Last Updated today</p></body></html>");
}

void BM_ParseCurrentPage(benchmark::State& state) {
  const QString page = CurrentPage();
  TWeatherReport report;
  if (ParseCurrentPage(page, 1, 1, report) != PageParse::Parsed) state.SkipWithError("page not read");
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseCurrentPage(page, 1, 1, report));
  }
  state.SetBytesProcessed(state.iterations() * page.size() * 2);
}
BENCHMARK(BM_ParseCurrentPage);

void BM_ParseTenDayPage(benchmark::State& state) {
  const QString page = TenDayPage();
  TWeatherReport report;
  if (ParseTenDayPage(page, 1, report) != PageParse::Parsed) state.SkipWithError("page not read");
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseTenDayPage(page, 1, report));
  }
  state.SetBytesProcessed(state.iterations() * page.size() * 2);
}
BENCHMARK(BM_ParseTenDayPage);

void BM_ParseAnswerHead(benchmark::State& state) {
  const QByteArray answer =
      "HTTP/1.1 200 OK\r\nServer: x\r\nDate: Sun, 06 Dec 2026 10:00:00 GMT\r\n"
      "Content-Type: application/octet-stream\r\nContent-Length: 4096000\r\n"
      "Connection: close\r\n\r\n" +
      QByteArray(4096, 'x');
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseAnswerHead(answer));
  }
}
BENCHMARK(BM_ParseAnswerHead);

}  // namespace

BENCHMARK_MAIN();
