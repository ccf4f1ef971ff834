// Draws the Trends page from the figures the program wrote into `trends`
// (app/trends/TrendsPage): the figures, the daily steps with their goal and
// 7-day average, the nights, and the month calendars. Written for the
// embedded browser's script engine (no arrow functions, no let or const).
// The charts draw at once, without the opening animation, so that a picture
// of the page taken as soon as it is drawn shows everything.
var trendsDay = 24 * 3600 * 1000;

function trendsNumber(value, decimals) {
  return Highcharts.numberFormat(value, decimals || 0);
}

function trendsHours(minutes) {
  var m = Math.round(minutes);
  return Math.floor(m / 60) + ':' + (m % 60 < 10 ? '0' : '') + (m % 60);
}

// The share of the goal reached, in five steps; 0 is no data.
function trendsLevel(percent) {
  if (percent === null) return 0;
  if (percent >= 100) return 5;
  return percent >= 75 ? 4 : percent >= 50 ? 3 : percent >= 25 ? 2 : 1;
}

function trendsElement(tag, className, text) {
  var element = document.createElement(tag);
  if (className) element.className = className;
  if (text !== undefined) element.appendChild(document.createTextNode(text));
  return element;
}

function trendsFigures() {
  document.getElementById('title').appendChild(document.createTextNode(trends.title));
  var list = document.getElementById('figures');
  for (var i = 0; i < trends.figures.length; i++) {
    var item = trendsElement('div');
    item.appendChild(trendsElement('dt', null, trends.figures[i][0]));
    item.appendChild(trendsElement('dd', null, trends.figures[i][1]));
    list.appendChild(item);
  }
}

function trendsStepsChart(start) {
  $('#steps').highcharts({
    chart: { zoomType: 'x' },
    title: { text: 'Steps per day' },
    credits: { enabled: false },
    xAxis: { type: 'datetime' },
    yAxis: { title: { text: 'Steps' }, min: 0 },
    tooltip: {
      shared: true,
      formatter: function () {
        var i = Math.round((this.x - start) / trendsDay), lines = [Highcharts.dateFormat('%A, %e %b %Y', this.x)];
        if (trends.steps[i] !== null) {
          lines.push('Steps: <b>' + trendsNumber(trends.steps[i]) + '</b> (' +
                     trendsNumber(Math.floor(trends.steps[i] * 100 / trends.goals[i])) + ' % of the goal)');
          lines.push('Distance: ' + trendsNumber(trends.metres[i] / trends.metresPerUnit, 1) + ' ' + trends.unit);
        } else {
          lines.push('No data');
        }
        lines.push('Goal: ' + trendsNumber(trends.goals[i]));
        if (trends.average[i] !== null) lines.push('7-day average: ' + trendsNumber(trends.average[i]));
        return lines.join('<br/>');
      }
    },
    plotOptions: {
      series: { pointStart: start, pointInterval: trendsDay, marker: { enabled: false }, animation: false }
    },
    series: [
      { type: 'column', name: 'Steps', data: trends.steps, color: chartColours.series[0] },
      { type: 'line', name: 'Goal', data: trends.goals, step: 'center', color: chartColours.series[1], dashStyle: 'ShortDash' },
      { type: 'line', name: '7-day average', data: trends.average, color: chartColours.text }
    ]
  });
}

function trendsNightsChart(start) {
  var asleep = [], awake = [];
  for (var i = 0; i < trends.nights.length; i++) {
    var x = start + trends.nights[i][0] * trendsDay;
    asleep.push([x, trends.nights[i][1]]);
    awake.push([x, trends.nights[i][2]]);
  }
  $('#nights').highcharts({
    chart: { type: 'column', zoomType: 'x' },
    title: { text: 'Sleep per night' },
    credits: { enabled: false },
    xAxis: { type: 'datetime', min: start, max: start + (trends.steps.length - 1) * trendsDay },
    yAxis: {
      title: { text: 'Hours' },
      min: 0,
      tickInterval: 60,
      labels: { formatter: function () { return trendsHours(this.value); } }
    },
    tooltip: {
      shared: true,
      formatter: function () {
        var lines = ['Night of ' + Highcharts.dateFormat('%A, %e %b %Y', this.x)];
        for (var p = 0; p < this.points.length; p++) {
          lines.push(this.points[p].series.name + ': <b>' + trendsHours(this.points[p].y) + '</b>');
        }
        return lines.join('<br/>');
      }
    },
    plotOptions: { column: { stacking: 'normal', animation: false } },
    series: [
      { name: 'Awake', data: awake, color: chartColours.series[1] },
      { name: 'Asleep', data: asleep, color: chartColours.series[0] }
    ]
  });
}

function trendsCalendar() {
  var box = document.getElementById('calendar');
  for (var m = 0; m < trends.calendar.length; m++) {
    var month = trends.calendar[m], table = trendsElement('table', 'month'), row = null;
    table.appendChild(trendsElement('caption', null, month.title));
    var body = trendsElement('tbody'), head = trendsElement('tr');
    for (var w = 0; w < 7; w++) head.appendChild(trendsElement('th', null, trends.weekdays[w]));
    body.appendChild(head);
    for (var cell = 0; cell < month.blanks + month.days.length; cell++) {
      if (cell % 7 === 0) {
        row = trendsElement('tr');
        body.appendChild(row);
      }
      var day = cell - month.blanks;
      if (day < 0) {
        row.appendChild(trendsElement('td', 'blank'));
        continue;
      }
      var data = month.days[day], td = trendsElement('td', 'level-' + trendsLevel(data ? data[1] : null));
      td.appendChild(trendsElement('div', 'day', String(day + 1)));
      td.appendChild(trendsElement('div', 'steps', data ? trendsNumber(data[0]) : '\u2013'));
      td.appendChild(trendsElement('div', 'share', data ? trendsNumber(data[1]) + ' %' : ''));
      td.title = data ? trendsNumber(data[0]) + ' of ' + trendsNumber(data[2]) + ' steps' : 'No data';
      row.appendChild(td);
    }
    table.appendChild(body);
    box.appendChild(table);
  }
  var legend = document.getElementById('legend');
  var names = ['no data', 'under 25 %', '25 to 49 %', '50 to 74 %', '75 to 99 %', 'goal reached'];
  for (var level = 0; level < names.length; level++) {
    legend.appendChild(trendsElement('span', 'level-' + level, names[level]));
  }
}

$(function () {
  Highcharts.setOptions({
    lang: { thousandsSep: trends.lang.thousandsSep, decimalPoint: trends.lang.decimalPoint }
  });
  var start = Date.UTC(trends.first[0], trends.first[1], trends.first[2]);
  trendsFigures();
  trendsStepsChart(start);
  trendsNightsChart(start);
  trendsCalendar();
});
