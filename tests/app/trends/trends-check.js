#!/usr/bin/env node
// Opens the Trends pages Pellton.exe wrote (trends-check.sh) in headless
// Chromium with every network request refused and logged, and checks what
// they show against the days and nights exports of the same history: the
// daily steps, the goal of each day (10,000, 12,000 from 2014-03-25), the
// nights, and the numbers in the calendar cells. PNGs stay beside the pages.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');

const [playwrightDir, dir] = process.argv.slice(2);
const { chromium } = require(playwrightDir);
let failures = 0;
function same(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  if (a !== e) failures++;
  console.log((a === e ? 'ok   ' : 'FAIL ') + what + (a === e ? '' : ': got ' + a + ', expected ' + e));
}

function csv(name) {
  return fs.readFileSync(path.join(dir, name), 'utf8').trim().split('\r\n').slice(1).map((l) => l.split(','));
}
const steps = new Map(csv('days.csv').map((r) => [r[1], Number(r[2])]));
const nights = csv('nights.csv').map((r) => [r[1], Number(r[4]), Number(r[5])]);
const isoDay = (x) => new Date(x).toISOString().slice(0, 10);

async function checkPage(context, file, first, last) {
  const page = await context.newPage();
  const requests = [], errors = [];
  const url = 'file://' + path.join(dir, file);
  await page.route('**/*', (route) => {
    requests.push(route.request().url());
    return route.request().url() === url ? route.continue() : route.abort();
  });
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(url);
  await page.waitForFunction(() => window.$ && $('#nights').highcharts() && $('#calendar td').length > 0);
  const shown = await page.evaluate(() => {
    const series = (id, s) => $(id).highcharts().series[s].points.map((p) => [p.x, p.y]);
    return {
      steps: series('#steps', 0), goals: series('#steps', 1), asleep: series('#nights', 1),
      awake: series('#nights', 0), sep: trends.lang.thousandsSep,
      cells: $('#calendar caption').map(function () {
        const title = $(this).text();
        return $(this).parent().find('td:not(.blank)').map(function (i) {
          return [[title, i + 1, $(this).find('.steps').text(), $(this).find('.share').text()]];
        }).get();
      }).get(),
      figures: $('#figures dd').map(function () { return $(this).text(); }).get()
    };
  });
  const days = shown.steps.map((p) => isoDay(p[0]));
  same([days[0], days[days.length - 1]], [first, last], file + ': days of the period');
  same(shown.steps.map((p) => p[1]), days.map((d) => (steps.has(d) ? steps.get(d) : null)),
       file + ': daily steps are the days export');
  same(shown.goals.map((p) => p[1]), days.map((d) => (d >= '2014-03-25' ? 12000 : 10000)), file + ': goals');
  same(shown.asleep.map((p, i) => [isoDay(p[0]), p[1], shown.awake[i][1]]),
       nights.filter((n) => n[0] >= first && n[0] <= last), file + ': nights are the nights export');
  const number = (n) => String(n).replace(/\B(?=(\d{3})+(?!\d))/g, shown.sep);
  const march = shown.cells.filter((c) => c[0] === 'March 2014');
  same(march.length, 31, file + ': the calendar of March has its days');
  same(march.filter((c) => c[2] !== '\u2013').map((c) => [c[1], c[2], c[3]]),
       march.filter((c) => steps.has('2014-03-' + String(c[1]).padStart(2, '0'))).map((c) => {
         const n = steps.get('2014-03-' + String(c[1]).padStart(2, '0'));
         return [c[1], number(n), Math.floor(n * 100 / (c[1] >= 25 ? 12000 : 10000)) + ' %'];
       }), file + ': calendar cells show steps and share as numbers');
  same(shown.figures.length === 9 && shown.figures.every((f) => f.length > 0), true, file + ': nine figures');
  same(requests.filter((u) => u !== url), [], file + ': no request beyond the page');
  same(errors, [], file + ': no script errors');
  await page.screenshot({ path: path.join(dir, file.replace('.html', '.png')), fullPage: true });
  await page.close();
}

(async () => {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'pellton-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1200, height: 900 },
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync']
  });
  try {
    await checkPage(context, 'month.html', '2014-03-01', '2014-03-31');
    await checkPage(context, 'year.html', '2014-01-01', '2014-12-31');
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
