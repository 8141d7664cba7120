# Checks migration reports against a JSON schema (docs/migration-report.schema.json)
# with Debian's python3-jsonschema and prints each as lines a test can search:
#   invalid|<file>|<path>|<message> for each way a report breaks the schema
#   outcome|<kind>|<outcome>|<differences>
#   skip|<step>|<reason>|<key>|<detail>
#   written|<step>|<table>|<records the step added>
#   change|<step>|<kind>|<field>|<key>|<old>|<new>
#   repeat|<id>|<count>|<first case>
#   difference|<section>|<key>|<detail>
#   unbalanced|<side>|<book year>|<journal> <period> <number>|<currency>
#   balance|accounts|parties|journals (how many rows of each)
import json
import sys

from jsonschema import Draft202012Validator

schema = json.load(open(sys.argv[1], encoding='utf-8'))
Draft202012Validator.check_schema(schema)
validator = Draft202012Validator(schema)
for path in sys.argv[2:]:
    report = json.load(open(path, encoding='utf-8'))
    for error in validator.iter_errors(report):
        print('invalid|' + path + '|' + '/'.join(str(p) for p in error.path) + '|' + error.message[:200])
    rec = report['reconciliation']
    print('|'.join(['outcome', report['kind'], report['outcome'], str(rec['differenceCount'])]))
    for step in report['steps']:
        for row in step['skipped']:
            print('|'.join(['skip', step['name'], row['reason'], row['key'], row['detail']]))
        for table, count in step['rowsWritten'].items():
            print('|'.join(['written', step['name'], table, str(count)]))
    for c in report['changes']:
        print('|'.join(['change', c['step'], c['kind'], c['field'], c['key'], c['old'], c['new']]))
    for r in report['repeatedMessages']:
        print('|'.join(['repeat', r['id'], str(r['count']), r['cases'][0]]))
    for d in rec['differences']:
        print('|'.join(['difference', d['section'], d['key'], d['detail']]))
    for u in rec['unbalancedDocuments']:
        print('|'.join(['unbalanced', u['side'], str(u['bookYear']), ' '.join([u['journal'], u['period'], u['number']]),
                        u['currency']]))
    print('|'.join(['balance', str(len(rec['accounts'])), str(len(rec['parties'])), str(len(rec['journals']))]))
