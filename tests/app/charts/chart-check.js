#!/usr/bin/env node
// Opens the chart pages that the program built from runs stored in a real
// database in headless Chromium, with every network request refused and
// logged, and checks what the chart shows against the stored runs.
//
//   node chart-check.js PLAYWRIGHT_CORE_DIR PAGES_DIR
//
// PAGES_DIR holds the pages and runs.json, written by chart_page_writer.exe:
// for each page its file, kind (walking or sleeping), the run's start in Unix
// seconds and the stored pattern in hex. The expected series are decoded
// here from the pattern on their own, and the first point's time from the
// start with the browser's local time, so the check does not share code with
// the builder. PNGs of the pages (and of each page's export download) are
// kept in PAGES_DIR as test artifacts.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');

const [playwrightDir, pagesDir] = process.argv.slice(2);
if (!playwrightDir || !pagesDir) {
  console.error('usage: chart-check.js PLAYWRIGHT_CORE_DIR PAGES_DIR');
  process.exit(2);
}
const { chromium } = require(playwrightDir);

let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    console.log('FAIL ' + what);
  } else {
    console.log('ok   ' + what);
  }
}
function same(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  check(a === e, what + (a === e ? '' : ': got ' + a + ', expected ' + e));
}

function bytesOf(hex) {
  const out = [];
  for (let i = 0; i + 1 < hex.length; i += 2) out.push(parseInt(hex.substr(i, 2), 16));
  return out;
}

// What each page must show, from the stored pattern alone.
function expectedSeries(run) {
  const b = bytesOf(run.pattern);
  if (run.kind === 'walking') {
    const distance = [], calories = [];
    for (let i = 0; i + 6 <= b.length; i += 6) {
      calories.push(b[i + 2] * 256 + b[i + 3]);
      distance.push((b[i + 4] * 256 + b[i + 5]) * 10);
    }
    return [distance, calories];
  }
  const levels = [45, 15, 75, 95], sleep = [];
  for (const byte of b) {
    for (let shift = 6; shift >= 0; shift -= 2) sleep.push(levels[(byte >> shift) & 3]);
  }
  return [sleep];
}

// The run's start as the local clock showed it, written as UTC milliseconds
// the way the page's x axis counts.
function expectedFirstX(run) {
  const d = new Date(run.start * 1000);
  return Date.UTC(d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes(),
                  d.getSeconds());
}

function tooltipTime(x) {
  const d = new Date(x);
  return d.getUTCDate() + '.' + (d.getUTCMonth() + 1) + '.' + d.getUTCFullYear() + ' ' +
         d.getUTCHours() + ':' + String(d.getUTCMinutes()).padStart(2, '0');
}

// Moves the mouse over one point and answers the tooltip's text.
async function hoverTooltip(page, series, index) {
  const spot = await page.evaluate(([s, i]) => {
    const chart = $('#chart').highcharts();
    const p = chart.series[s].points[i];
    const box = chart.container.getBoundingClientRect();
    // A column's own middle (the columns of both series share one slot).
    const a = p.shapeArgs;
    // (one pixel inside for a line's first point, which sits on the plot's edge)
    const x = box.left + chart.plotLeft + (a ? a.x + a.width / 2 : p.plotX + 1);
    const y = box.top + chart.plotTop + (a ? a.y + Math.max(a.height, 1) / 2 : p.plotY);
    return [x, y];
  }, [series, index]);
  await page.mouse.move(spot[0] - 40, spot[1] - 40);
  await page.mouse.move(spot[0], spot[1], { steps: 4 });
  await page.waitForFunction(([s, i]) => {
    const chart = $('#chart').highcharts();
    return chart.hoverPoint === chart.series[s].points[i] && chart.tooltip.label &&
           chart.tooltip.label.attr('visibility') !== 'hidden';
  }, [series, index], { timeout: 5000 });
  // The text, and the parts drawn in bold.
  return page.evaluate(() => {
    const label = $('#chart').highcharts().tooltip.label.element;
    const bold = Array.from(label.querySelectorAll('tspan'))
                      .filter((t) => /bold/.test(t.getAttribute('style') || ''))
                      .map((t) => t.textContent);
    return { text: label.textContent, bold: bold };
  });
}

async function checkPage(context, run) {
  const file = path.join(pagesDir, run.file);
  const page = await context.newPage();
  const requests = [];
  // Every request leaves a line in the log; anything but the page's own file
  // and the in-page blob and data addresses of the export is refused.
  await page.route('**/*', (route) => {
    const url = route.request().url();
    requests.push(url);
    if (url === 'file://' + file || url.startsWith('blob:') || url.startsWith('data:')) {
      return route.continue();
    }
    return route.abort();
  });
  page.on('request', (r) => {
    if (!requests.includes(r.url())) requests.push(r.url());
  });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto('file://' + file);
  await page.waitForFunction(() => window.$ && $('#chart').highcharts() &&
                                   $('#chart').highcharts().series.length > 0, null,
                             { timeout: 15000 });
  // Note when each series has finished its opening animation, so that the
  // kept picture shows the whole chart.
  await page.evaluate(() => {
    for (const s of $('#chart').highcharts().series) {
      const own = s.afterAnimate;
      s.afterAnimate = function () {
        own.call(this);
        this.checkAnimated = true;
      };
    }
  });
  const name = run.kind + ' page';
  const state = await page.evaluate(() => {
    const chart = $('#chart').highcharts();
    return {
      type: chart.options.chart.type,
      zoom: chart.options.chart.zoomType,
      title: chart.title ? chart.title.textStr : null,
      legend: chart.options.legend.enabled,
      credits: chart.options.credits.enabled,
      xType: chart.xAxis[0].options.type,
      exportSize: [chart.options.exporting.sourceWidth, chart.options.exporting.sourceHeight],
      fallback: chart.options.exporting.fallbackToExportServer,
      exportScale: chart.options.exporting.scale,
      series: chart.series.map((s) => ({
        points: s.points.length,
        y: s.points.map((p) => p.y),
        x: s.points.map((p) => p.x),
        yAxis: s.yAxis.options.index !== undefined ? s.yAxis.options.index : chart.yAxis.indexOf(s.yAxis),
        type: s.type
      })),
      yAxes: chart.yAxis.map((a) => ({
        title: a.axisTitle ? a.axisTitle.textStr : null,
        min: a.min, max: a.max, opposite: !!a.opposite,
        labels: a.options.labels.enabled,
        bands: (a.options.plotBands || []).map((b) => [b.from, b.to, b.label ? b.label.text : null]),
        bandLabels: (a.plotLinesAndBands || []).filter((b) => b.label).map((b) => b.label.textStr)
      })),
      svg: chart.container.querySelector('svg') !== null,
      drawnPoints: chart.container.querySelectorAll('.highcharts-series rect, .highcharts-series path').length
    };
  });
  const expected = expectedSeries(run);
  check(state.svg && state.drawnPoints > 0, name + ': the chart is drawn');
  same(state.title, run.title, name + ': title');
  same(state.legend, false, name + ': no legend');
  same(state.credits, false, name + ': no credits');
  same(state.zoom, 'x', name + ': zoom along x');
  same(state.xType, 'datetime', name + ': datetime x axis');
  same(state.exportSize, [1200, 1200], name + ': export size');
  same(state.fallback, false, name + ': no export server fallback');
  same(state.series.length, expected.length, name + ': series count');
  for (let s = 0; s < expected.length && s < state.series.length; s++) {
    same(state.series[s].points, expected[s].length, name + ': series ' + s + ' point count');
    same(state.series[s].y, expected[s], name + ': series ' + s + ' values');
    const interval = run.kind === 'walking' ? 15 * 60 * 1000 : 60 * 1000;
    same(state.series[s].x[0], expectedFirstX(run), name + ': series ' + s + ' first point time');
    same(state.series[s].x.slice(1).map((x, i) => x - state.series[s].x[i]).filter((d) => d !== interval),
         [], name + ': series ' + s + ' point interval');
  }
  if (run.kind === 'walking') {
    same(state.type, 'column', name + ': column chart');
    same(state.yAxes.map((a) => a.title), ['Distance', 'Calories'], name + ': axis titles');
    same(state.yAxes.map((a) => a.opposite), [false, true], name + ': calories axis opposite');
    same(state.yAxes.map((a) => a.min), [0, 0], name + ': axes start at 0');
    same(state.series.map((s) => s.yAxis), [0, 1], name + ': series on their axes');
  } else {
    same(state.type, 'spline', name + ': spline chart');
    same([state.yAxes[0].min, state.yAxes[0].max], [0, 100], name + ': y axis 0 to 100');
    same(state.yAxes[0].labels, false, name + ': no y axis labels');
    same(state.yAxes[0].bands, [[0, 30, 'Sleeping'], [30, 60, 'Awake'], [60, 90, 'Walking'],
                                [90, 100, null]], name + ': plot bands');
    same(state.yAxes[0].bandLabels, ['Sleeping', 'Awake', 'Walking'], name + ': plot band labels drawn');
  }

  // Tooltips, shown by moving the mouse over points.
  for (const t of run.tooltips || []) {
    const shown = await hoverTooltip(page, t.series, t.index);
    const time = tooltipTime(state.series[t.series].x[t.index]);
    same(shown, { text: time + t.text, bold: [time.split(' ')[1]] },
         name + ': tooltip of series ' + t.series + ' point ' + t.index);
  }

  await page.waitForFunction(() => $('#chart').highcharts().series.every((s) => s.checkAnimated),
                             null, { timeout: 10000 });
  await page.screenshot({ path: path.join(pagesDir, run.kind + '.png') });

  // The export menu's PNG item makes the image in the page and downloads it.
  await page.mouse.move(5, 5);
  await page.click('.highcharts-button');
  const item = page.locator('.highcharts-contextmenu').getByText('Download PNG image', { exact: true });
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 15000 }),
                                        item.click()]);
  const saved = path.join(pagesDir, run.kind + '-export.png');
  await download.saveAs(saved);
  const png = fs.readFileSync(saved);
  check(png.length > 1000 && png.slice(0, 8).equals(Buffer.from([137, 80, 78, 71, 13, 10, 26, 10])),
        name + ': export menu downloads a PNG (' + png.length + ' bytes)');
  same(png.readUInt32BE(16), 1200 * state.exportScale, name + ': exported PNG width');
  same(png.readUInt32BE(20), 1200 * state.exportScale, name + ': exported PNG height');

  const outside = requests.filter((u) => u !== 'file://' + file && !u.startsWith('blob:') &&
                                         !u.startsWith('data:'));
  same(outside, [], name + ': requests beyond the page itself');
  same(errors, [], name + ': script errors');
  await page.close();
}

// Colour vision: the Machado, Oliveira and Fernandes (2009) matrices at
// severity 1.0, applied to linear RGB; distances are CIE76 delta E in Lab
// (D65). Categories must stay at least this far apart for every viewer.
const minimumDeltaE = 10;
const visions = {
  normal: [[1, 0, 0], [0, 1, 0], [0, 0, 1]],
  protanopia: [[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216], [-0.003882, -0.048116, 1.051998]],
  deuteranopia: [[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413], [-0.011820, 0.042940, 0.968881]]
};
function rgbOf(text) {
  const t = String(text).trim();
  let m = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(t);
  if (m) return [parseInt(m[1], 16), parseInt(m[2], 16), parseInt(m[3], 16)];
  m = /^rgba?\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)/i.exec(t);
  if (m) return [+m[1], +m[2], +m[3]];
  return null;
}
function toLinear(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4); }
function fromLinear(c) {
  c = Math.min(1, Math.max(0, c));
  return 255 * (c <= 0.0031308 ? 12.92 * c : 1.055 * Math.pow(c, 1 / 2.4) - 0.055);
}
function simulate(rgb, m) {
  const l = rgb.map(toLinear);
  return m.map((row) => fromLinear(row[0] * l[0] + row[1] * l[1] + row[2] * l[2]));
}
function lab(rgb) {
  const [r, g, b] = rgb.map(toLinear);
  const f = (t) => (t > 0.008856 ? Math.cbrt(t) : 7.787 * t + 16 / 116);
  const x = f((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
  const y = f(0.2126 * r + 0.7152 * g + 0.0722 * b);
  const z = f((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
  return [116 * y - 16, 500 * (x - y), 200 * (y - z)];
}
function deltaE(a, b, m) {
  const p = lab(simulate(a, m)), q = lab(simulate(b, m));
  return Math.hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

// A page in one colour scheme: its background is the scheme's, and its
// categories (the walking series, the sleep bands), read from the drawn
// chart, stay apart as every viewer sees them.
async function checkTheme(context, theme) {
  const page = await context.newPage();
  await page.route('**/*', (route) => (route.request().url().startsWith('file://') ? route.continue() : route.abort()));
  await page.goto('file://' + path.join(pagesDir, theme.file));
  await page.waitForFunction(() => window.$ && $('#chart').highcharts() &&
                                   $('#chart').highcharts().series.length > 0, null, { timeout: 15000 });
  const name = theme.kind + ' page, ' + theme.scheme;
  const drawn = await page.evaluate(() => {
    const chart = $('#chart').highcharts();
    return {
      body: getComputedStyle(document.body).backgroundColor,
      chart: chart.chartBackground.attr('fill'),
      series: chart.series.map((s) => (s.points[0].graphic ? s.points[0].graphic.attr('fill') : s.graph.attr('stroke'))),
      bands: (chart.yAxis[0].plotLinesAndBands || []).map((b) => b.svgElem.attr('fill'))
    };
  });
  same(rgbOf(drawn.body), rgbOf(theme.background), name + ': page background');
  same(rgbOf(drawn.chart), rgbOf(theme.background), name + ': chart background');
  const categories = theme.kind === 'walking' ? drawn.series.concat([drawn.chart]) : drawn.bands;
  const colours = categories.map(rgbOf);
  check(colours.length >= 3 && colours.every((c) => c), name + ': categories read ' + JSON.stringify(categories));
  let worst = { e: Infinity };
  for (const v of Object.keys(visions)) {
    for (let i = 0; i < colours.length; i++) {
      for (let j = i + 1; j < colours.length; j++) {
        if (!colours[i] || !colours[j]) continue;
        const e = deltaE(colours[i], colours[j], visions[v]);
        if (e < worst.e) worst = { e: e, v: v, a: categories[i], b: categories[j] };
      }
    }
  }
  check(worst.e >= minimumDeltaE, name + ': categories at least delta E ' + minimumDeltaE +
        ' apart for every viewer (closest ' + worst.e.toFixed(1) + ', ' + worst.v + ', ' + worst.a + ' ' + worst.b + ')');
  // The picture once the opening animation has ended (its clip is gone).
  await page.waitForFunction(() => {
    const chart = $('#chart').highcharts();
    return chart.series.every((s) => !s.sharedClipKey || !chart[s.sharedClipKey]);
  }, null, { timeout: 10000 });
  await page.screenshot({ path: path.join(pagesDir, theme.file.replace('.html', '.png')) });

  // The keyboard zooms, moves and resets the view.
  if (theme.scheme === 'light') {
    const view = () => page.evaluate(() => {
      const e = $('#chart').highcharts().xAxis[0].getExtremes();
      return [e.min, e.max, e.dataMin, e.dataMax, !!$('#chart').highcharts().resetZoomButton];
    });
    const all = await view();
    await page.keyboard.press('+');
    const zoomed = await view();
    check(zoomed[1] - zoomed[0] < (all[3] - all[2]) * 0.6 && zoomed[4], name + ': + zooms in and offers the reset');
    await page.keyboard.press('ArrowRight');
    const moved = await view();
    check(moved[0] > zoomed[0] && moved[1] - moved[0] === zoomed[1] - zoomed[0], name + ': the right arrow moves the view');
    await page.keyboard.press('Home');
    const back = await view();
    same([back[0], back[1], back[4]], [all[2], all[3], false], name + ': Home shows everything again');
  }
  await page.close();
}

(async () => {
  const runs = JSON.parse(fs.readFileSync(path.join(pagesDir, 'runs.json'), 'utf8'));
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'pellton-chromium-'));
  // A new, empty profile (Chromium's --user-data-dir) for every run.
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    viewport: { width: 1000, height: 600 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync']
  });
  try {
    for (const run of runs) await checkPage(context, run);
    const themes = JSON.parse(fs.readFileSync(path.join(pagesDir, 'themes.json'), 'utf8'));
    for (const theme of themes) await checkTheme(context, theme);
  } catch (e) {
    failures++;
    console.log('FAIL ' + (e && e.stack ? e.stack : e));
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(failures ? failures + ' check(s) failed' : 'all checks passed');
  process.exit(failures ? 1 : 0);
})();
