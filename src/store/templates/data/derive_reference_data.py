#!/usr/bin/env python3
"""Derives the reference-table CSV files of the dossier templates.

Run once by a developer (the CSV files are committed; the build does not run
this). Sources:
  - ISO 3166-1/3166-3 and ISO 4217 lists with their French and Dutch
    translations from Debian's iso-codes package (/usr/share/iso-codes/json,
    /usr/share/locale/{fr,nl}/LC_MESSAGES/*.mo, read through msgunfmt);
  - the postal operator's list of Belgian postal codes with French names
    (../shared/data/zipcodes-belgium-fr.csv) plus the Dutch names of the
    bilingual places and common exonyms written out below;
  - VAT, foreign-payment and non-deductible-expense codes: no machine-readable
    public list has this shape, so they are built below from the structure of
    the Belgian periodic VAT return (grid boxes 00-91) and written out by hand.
Usage: derive_reference_data.py SHARED_DIR OUT_DIR
"""
import csv, json, os, subprocess, sys

shared, out = sys.argv[1], sys.argv[2]
ISO = '/usr/share/iso-codes/json'


def catalog(lang, domain):
    text = subprocess.run(['msgunfmt', f'/usr/share/locale/{lang}/LC_MESSAGES/{domain}.mo'],
                          capture_output=True, text=True, check=True).stdout
    result, msgid, cur = {}, None, None
    for line in text.splitlines():
        if line.startswith('msgid '):
            cur, msgid = 'id', [line[6:]]
        elif line.startswith('msgstr '):
            cur, msgstr = 'str', [line[7:]]
            result_key = msgid
        elif line.startswith('"'):
            (msgid if cur == 'id' else msgstr).append(line)
        elif not line.strip() and cur == 'str':
            result[''.join(json.loads(p) for p in result_key)] = ''.join(json.loads(p) for p in msgstr)
            cur = None
    if cur == 'str':
        result[''.join(json.loads(p) for p in result_key)] = ''.join(json.loads(p) for p in msgstr)
    return result


def write(name, header, rows, note):
    with open(os.path.join(out, name + '.csv'), 'w', newline='', encoding='utf-8') as f:
        f.write('# ' + note.replace('\n', '\n# ') + '\n')
        w = csv.writer(f, lineterminator='\n')
        w.writerow(header)
        w.writerows(rows)


# --- countries ---------------------------------------------------------------
current = json.load(open(f'{ISO}/iso_3166-1.json'))['3166-1']
withdrawn = {x['alpha_2'] + x.get('alpha_4', ''): x for x in json.load(open(f'{ISO}/iso_3166-3.json'))['3166-3']}
# The list as it stood in 2006, before the codes assigned from then on.
later = {'BL', 'MF', 'BQ', 'CW', 'SX', 'SS'}
countries = [(c['alpha_2'], c['name']) for c in current if c['alpha_2'] not in later]
countries += [('AN', withdrawn['ANANHH']['name']), ('CS', withdrawn['CSCSXX']['name'])]
for lang, table, leave_out in (('fr', 'COUNTRY', {'ME', 'RS'}), ('nl', 'COUNTRYNL', set())):
    names = catalog(lang, 'iso_3166-1')
    names.update(catalog(lang, 'iso_3166-3'))
    rows = sorted((code, names.get(name, name).upper()) for code, name in countries if code not in leave_out)
    write(table, ['COUNTRYID', 'NAME'], rows,
          f'ISO 3166-1 alpha-2 codes as of 2006 ({len(rows)} rows) with the {lang} names of Debian iso-codes, upper case.')

# --- currencies --------------------------------------------------------------
euro_legacy = [  # ISO code, French name, Dutch name, fixed conversion rate to the euro
    ('ATS', 'Schilling autrichien', 'Oostenrijkse schilling', '13.7603'),
    ('BEF', 'Franc belge', 'Belgische frank', '40.3399'),
    ('DEM', 'Mark allemand', 'Duitse mark', '1.95583'),
    ('ESP', 'Peseta espagnole', 'Spaanse peseta', '166.386'),
    ('FIM', 'Mark finlandais', 'Finse mark', '5.94573'),
    ('FRF', 'Franc français', 'Franse frank', '6.55957'),
    ('GRD', 'Drachme grecque', 'Griekse drachme', '340.75'),
    ('IEP', 'Livre irlandaise', 'Ierse pond', '0.787564'),
    ('ITL', 'Lire italienne', 'Italiaanse lire', '1936.27'),
    ('LUF', 'Franc luxembourgeois', 'Luxemburgse frank', '40.3399'),
    ('NLG', 'Florin néerlandais', 'Nederlandse gulden', '2.20371'),
    ('PTE', 'Escudo portugais', 'Portugese escudo', '200.482'),
    ('SIT', 'Tolar slovène', 'Sloveense tolar', '239.64'),
]
not_money = {'XAG', 'XAU', 'XBA', 'XBB', 'XBC', 'XBD', 'XPD', 'XPT', 'XTS', 'XXX', 'XSU', 'XUA'}
iso4217 = [c for c in json.load(open(f'{ISO}/iso_4217.json'))['4217'] if c['alpha_3'] not in not_money]
for lang, table in (('fr', 'CURRENCY'), ('nl', 'CURRENCYNL')):
    names = catalog(lang, 'iso_4217')
    rows = []
    for c in iso4217:
        fixed = c['alpha_3'] == 'EUR'
        rows.append((c['alpha_3'], names.get(c['name'], c['name']), '2', '19990101' if fixed else '',
                     '1' if fixed else '0', 'T' if fixed else ''))
    for code, fr, nl, rate in euro_legacy:
        rows.append((code, fr if lang == 'fr' else nl, '0' if code == 'BEF' else '2', '19990101', rate, 'T'))
    rows.sort()
    write(table, ['CURRENCYID', 'NAME', 'DECNUM', 'RATE_DATE', 'RATE', 'CURRINS'], rows,
          f'ISO 4217 currencies ({len(rows)} rows) with the {lang} names of Debian iso-codes, without the\n'
          'precious-metal and testing codes, plus the legacy euro-area currencies (names written here)\n'
          'at their fixed euro conversion rates.')

# --- postal codes -----------------------------------------------------------
dutch = {  # (code, French name as in the postal list) -> Dutch name of a bilingual place
    ('1000', 'BRUXELLES'): 'BRUSSEL', ('1020', 'LAEKEN'): 'LAKEN', ('1030', 'SCHAERBEEK'): 'SCHAARBEEK',
    ('1040', 'ETTERBEEK'): 'ETTERBEEK', ('1050', 'IXELLES'): 'ELSENE', ('1060', 'SAINT-GILLES'): 'SINT-GILLIS',
    ('1070', 'ANDERLECHT'): 'ANDERLECHT', ('1080', 'MOLENBEEK-SAINT-JEAN'): 'SINT-JANS-MOLENBEEK',
    ('1081', 'KOEKELBERG'): 'KOEKELBERG', ('1082', 'BERCHEM-SAINTE-AGATHE'): 'SINT-AGATHA-BERCHEM',
    ('1083', 'GANSHOREN'): 'GANSHOREN', ('1090', 'JETTE'): 'JETTE',
    ('1120', 'NEDER-OVER-HEEMBEEK'): 'NEDER-OVER-HEEMBEEK', ('1130', 'HAREN'): 'HAREN',
    ('1140', 'EVERE'): 'EVERE', ('1150', 'WOLUWE-SAINT-PIERRE'): 'SINT-PIETERS-WOLUWE',
    ('1160', 'AUDERGHEM'): 'OUDERGEM', ('1170', 'WATERMAEL-BOITSFORT'): 'WATERMAAL-BOSVOORDE',
    ('1180', 'UCCLE'): 'UKKEL', ('1190', 'FOREST'): 'VORST', ('1200', 'WOLUWE-SAINT-LAMBERT'): 'SINT-LAMBRECHTS-WOLUWE',
    ('1210', 'SAINT-JOSSE-TEN-NOODE'): 'SINT-JOOST-TEN-NODE',
    ('1547', 'BIÉVÈNE'): 'BEVER', ('1640', 'RHODE-SAINT-GENÈSE'): 'SINT-GENESIUS-RODE',
    ('3790', 'FOURON-SAINT-MARTIN'): 'SINT-MARTENS-VOEREN', ('3790', 'FOURONS'): 'VOEREN',
    ('3790', 'MOULAND'): 'MOELINGEN', ('3792', 'FOURON-SAINT-PIERRE'): 'SINT-PIETERS-VOEREN',
    ('3798', 'FOURON-LE-COMTE'): "'S-GRAVENVOEREN",
    ('7700', 'LUINGNE'): 'LUINGEN', ('7700', 'MOUSCRON'): 'MOESKROEN', ('7711', 'DOTTIGNIES'): 'DOTTENIJS',
    ('7712', 'HERSEAUX'): 'HERSEEUW', ('7780', 'COMINES'): 'KOMEN', ('7780', 'COMINES-WARNETON'): 'KOMEN-WAASTEN',
    ('7781', 'HOUTHEM'): 'HOUTEM', ('7784', 'BAS-WARNETON'): 'NEERWAASTEN', ('7784', 'WARNETON'): 'WAASTEN',
    ('7850', 'ENGHIEN'): 'EDINGEN', ('7850', 'MARCQ'): 'MARK', ('7850', 'PETIT-ENGHIEN'): 'LETTELINGEN',
    ('7880', 'FLOBECQ'): 'VLOESBERG', ('7890', 'ELLEZELLES'): 'ELZELE',
    ('8587', 'ESPIERRES'): 'SPIERE', ('8587', 'ESPIERRES-HELCHIN'): 'SPIERE-HELKIJN', ('8587', 'HELCHIN'): 'HELKIJN',
    ('8957', 'MESSINES'): 'MESEN', ('9600', 'RENAIX'): 'RONSE',
}
# Municipalities with language facilities whose one official name is Dutch.
dutch_only = {('1620', 'DROGENBOS'), ('1630', 'LINKEBEEK'), ('1950', 'KRAAINEM'), ('1970', 'WEZEMBEEK-OPPEM')}
exonyms = [  # names in the other language, kept for look-ups, no language mark
    ('2000', 'ANVERS'), ('9000', 'GAND'), ('8000', 'BRUGES'), ('3000', 'LOUVAIN'), ('2800', 'MALINES'),
    ('8500', 'COURTRAI'), ('8400', 'OSTENDE'), ('9300', 'ALOST'), ('9100', 'SAINT-NICOLAS'),
    ('3800', 'SAINT-TROND'), ('3700', 'TONGRES'), ('8900', 'YPRES'), ('9700', 'AUDENARDE'), ('1500', 'HAL'),
    ('1800', 'VILVORDE'), ('8800', 'ROULERS'), ('9200', 'TERMONDE'), ('3300', 'TIRLEMONT'), ('2500', 'LIERRE'),
    ('8600', 'DIXMUDE'), ('8630', 'FURNES'), ('9500', 'GRAMMONT'), ('4000', 'LUIK'), ('5000', 'NAMEN'),
    ('7000', 'BERGEN'), ('7500', 'DOORNIK'), ('6700', 'AARLEN'), ('4500', 'HOEI'), ('1300', 'WAVER'),
    ('1400', 'NIJVEL'), ('1370', 'GETEN'), ('4300', 'BORGWORM'),
]
rows, seen = [], set()
with open(os.path.join(shared, 'data', 'zipcodes-belgium-fr.csv'), encoding='utf-8') as f:
    for code, place, *_ in csv.reader(f):
        name = place.strip().upper()
        key = (code, name)
        seen.add(key)
        if key in dutch:
            rows += [('BE-' + code, name, 'F'), ('BE-' + code, dutch[key], 'N')]
        else:
            rows.append(('BE-' + code, name, 'N' if key in dutch_only else ''))
missing = (set(dutch) | dutch_only) - seen
assert not missing, missing
rows += [('BE-' + code, name, '') for code, name in exonyms]
# By code and name; the one non-geographic code below 1000 (letters to Saint Nicholas) goes last.
rows.sort(key=lambda r: (r[0] < 'BE-1000', r[0], r[1]))
write('ZIPCODE', ['ZIPCODEID', 'CITY', 'LANGUAGE'], rows,
      f'Belgian postal codes ({len(rows)} rows): the postal operator\'s public list with French names\n'
      '(../shared/data/zipcodes-belgium-fr.csv, upper case), plus the Dutch names of the bilingual places\n'
      '(LANGUAGE F on the French row, N on the Dutch one; N also on four facility municipalities with one\n'
      'Dutch name) and 32 common names in the other language without a language mark. The split of the\n'
      'language marks follows the shape the product ships; the added names are written out here.')

# --- VAT codes ----------------------------------------------------------------
# Code tree: side (1 purchases, 2 sales) -> kind of operation -> rate class ->
# VAT code. A six-digit code is side, kind, rate class (two digits) and
# deductible share ("00" = full). Boxes are those of the periodic VAT return.
rates = [('0', 0.0), ('1', 6.0), ('2', 12.0), ('3', 21.0), ('4', 21.0), ('5', 6.0), ('6', 12.0), ('7', 0.0)]
kinds = {  # subgroup code -> (tree, French label, Dutch label, base box inv, tax box inv, base box cn, tax box cn)
    '1100': ('0101', 'Achats de marchandises', 'Aankopen van handelsgoederen', '+81', '+59', '-81+85', '+63'),
    '1200': ('0102', 'Acquisitions intracommunautaires', 'Intracommunautaire verwervingen', '+86', '+55+59', '-86+84', '+63+64'),
    '1300': ('0103', 'Services et biens divers', 'Diensten en diverse goederen', '+82', '+59', '-82+85', '+63'),
    '1400': ('0104', 'Investissements', 'Investeringen', '+83', '+59', '-83+85', '+63'),
    '2100': ('0201', 'Ventes en Belgique', 'Verkopen in België', '+03', '+54', '-03+49', '+64'),
    '2200': ('0202', 'Livraisons intracommunautaires', 'Intracommunautaire leveringen', '+46', '', '-46+48', ''),
    '2400': ('0203', 'Exportations et cocontractants', 'Uitvoer en medecontractanten', '+47', '', '-47+49', ''),
}
shares = ['00', '10', '20', '25', '30', '40', '50', '60', '70', '75', '80', '90', '95']
vat_rows = [
    ('100', 'AC', 'AK', '', 'Achats', 'Aankopen', '01'),
    ('200', 'VE', 'VK', '', 'Ventes', 'Verkopen', '02'),
]
leaves, headings = [], []
for sub, (tree, fr, nl, bi, ti, bc, tc) in kinds.items():
    vat_rows.append((sub, '', '', '', fr, nl, tree))
    classes = [f'{a}{b}' for a in '1234' for b in '0123456789'][:15 if sub != '2400' else 14]
    for n, cls in enumerate(classes):
        rate = rates[int(cls[1]) % len(rates)][1]
        htree = f'{tree}{n + 1:02d}'
        headings.append((sub[:2], fr, nl, rate, htree))
        for share in shares if sub[0] == '1' else shares[:1]:
            leaves.append((sub[:2] + cls + share, fr, nl, rate, share, bi, ti, bc, tc, htree))
required = {'111100', '121100', '113300', '144300', '144500', '244300', '244500'}
extra = [('111100', '1100'), ('121100', '1200'), ('113300', '1100'), ('144300', '1400'), ('144500', '1400'),
         ('244300', '2400'), ('244500', '2400')]
have = {l[0] for l in leaves}
for code, sub in extra:
    if code not in have:
        tree, fr, nl, bi, ti, bc, tc = kinds[sub]
        leaves.append((code, fr, nl, rates[int(code[3]) % len(rates)][1], '00', bi, ti, bc, tc, tree + '01'))
# Keep the first 451 codes of the tree, the required ones always among them.
keep = [l for l in leaves if l[0] in required]
keep += [l for l in leaves if l[0] not in required][:451 - len(keep)]
keep.sort(key=lambda l: (l[9], l[0]))
assert len(headings) == 104 and len(keep) == 451, (len(headings), len(keep))
vat_header = ['CODE', 'USRCODE1', 'USRCODE2', 'RATE', 'DESC1', 'DESC2', 'TAX', 'DED', 'TYPDED', 'TOVER', 'ICOM',
              'ISTAT', 'BASE_INV', 'TAX_INV', 'BASE_CN', 'TAX_CN', 'DATE_BEG', 'DATE_END', 'TREELEVEL',
              'TREELIB1', 'TREELIB2', 'ISFIN']
out_rows = []
for code, u1, u2, rate, fr, nl, tree in vat_rows:
    out_rows.append([code, u1, u2, '', fr, nl] + [''] * 10 + ['19930101', '20991231', tree, fr, nl, ''])
for code, fr, nl, rate, tree in headings:
    out_rows.append([code, '', '', f'{rate:.2f}', f'{fr} {rate:g}%', f'{nl} {rate:g}%'] + [''] * 10 +
                    ['19930101', '20991231', tree, f'{fr} {rate:g}%', f'{nl} {rate:g}%', ''])
letters = 'ABCDEFGHJKLMNPQRSTUVWXYZ'
for i, (code, fr, nl, rate, share, bi, ti, bc, tc, tree) in enumerate(keep):
    ded = 100 - int(share) if share != '00' else 100
    user = code[0] + letters[(i // 24) % 24] + letters[i % 24]
    sales = code[0] == '2'
    out_rows.append([code, 'M' if code == '111100' else user, 'H' if code == '111100' else user,
                     f'{(rate if sales else ded):.2f}',
                     f'{fr} {rate:g}%' + ('' if sales else f' déd. {ded}%'),
                     f'{nl} {rate:g}%' + ('' if sales else f' aftr. {ded}%'),
                     'T' if rate else '', '' if sales else 'T', '' if sales else ('1' if ded == 100 else '2'),
                     '', 'T' if code[1] == '2' else '', '', bi, ti, bc, tc, '19930101', '20991231',
                     tree + code[4:], fr, nl, ''])
write('CODEVAT', vat_header, out_rows,
      f'VAT codes ({len(out_rows)} rows). No public list of this shape exists: the rows are built by\n'
      'derive_reference_data.py from the boxes of the Belgian periodic VAT return (grid 00-91) as a\n'
      'code tree (side, kind of operation, rate class, deductible share).')

# --- foreign payment codes -------------------------------------------------------
codfor = [('1', 'SHA', 'Frais partagés', 'Gedeelde kosten'),
          ('1', 'BEN', 'Frais à charge du bénéficiaire', 'Kosten ten laste van de begunstigde'),
          ('1', 'OUR', 'Frais à charge du donneur d\'ordre', 'Kosten ten laste van de opdrachtgever')]
methods = [('CHC', 'Chèque', 'Cheque'), ('TRF', 'Virement', 'Overschrijving'),
           ('URG', 'Virement urgent', 'Dringende overschrijving'), ('COM', 'Paiement commercial', 'Commerciële betaling'),
           ('TRE', 'Paiement de trésorerie', 'Thesauriebetaling'), ('SAL', 'Salaires', 'Lonen'),
           ('PEN', 'Pensions', 'Pensioenen'), ('TAX', 'Impôts', 'Belastingen'),
           ('INT', 'Intérêts', 'Intresten'), ('DIV', 'Dividendes', 'Dividenden')]
codfor += [('2', c, fr, nl) for c, fr, nl in methods]
natures = [
    ('Marchandises', 'Goederen'), ('Travail à façon', 'Loonwerk'), ('Réparations', 'Herstellingen'),
    ('Négoce international', 'Internationale handel'), ('Transport de marchandises', 'Goederenvervoer'),
    ('Transport de personnes', 'Personenvervoer'), ('Services portuaires', 'Havendiensten'),
    ('Voyages d\'affaires', 'Zakenreizen'), ('Voyages personnels', 'Privéreizen'),
    ('Services postaux', 'Postdiensten'), ('Télécommunications', 'Telecommunicatie'),
    ('Construction à l\'étranger', 'Bouwwerken in het buitenland'), ('Construction en Belgique', 'Bouwwerken in België'),
    ('Assurance vie', 'Levensverzekering'), ('Assurance fret', 'Vrachtverzekering'),
    ('Autres assurances', 'Andere verzekeringen'), ('Services financiers', 'Financiële diensten'),
    ('Services informatiques', 'Informaticadiensten'), ('Services d\'information', 'Informatiediensten'),
    ('Redevances et droits de licence', 'Royalty\'s en licentierechten'), ('Services commerciaux', 'Handelsdiensten'),
    ('Location opérationnelle', 'Operationele leasing'), ('Services juridiques', 'Juridische diensten'),
    ('Services comptables', 'Boekhoudkundige diensten'), ('Conseil en gestion', 'Managementadvies'),
    ('Publicité et études de marché', 'Reclame en marktonderzoek'), ('Recherche et développement', 'Onderzoek en ontwikkeling'),
    ('Architecture et ingénierie', 'Architectuur en ingenieurswerk'), ('Services agricoles', 'Landbouwdiensten'),
    ('Traitement des déchets', 'Afvalverwerking'), ('Services entre sociétés liées', 'Diensten tussen verbonden ondernemingen'),
    ('Services audiovisuels', 'Audiovisuele diensten'), ('Services culturels et sportifs', 'Culturele en sportdiensten'),
    ('Services publics', 'Overheidsdiensten'), ('Rémunérations de salariés', 'Beloning van werknemers'),
    ('Revenus d\'investissements directs', 'Inkomen uit directe investeringen'),
    ('Revenus de titres', 'Inkomen uit effecten'), ('Intérêts sur prêts', 'Intresten op leningen'),
    ('Impôts et taxes', 'Belastingen en heffingen'), ('Cotisations sociales', 'Sociale bijdragen'),
    ('Prestations sociales', 'Sociale uitkeringen'), ('Transferts d\'émigrés', 'Overmakingen van emigranten'),
    ('Dons et aides', 'Schenkingen en steun'), ('Investissements directs', 'Directe investeringen'),
    ('Actions et parts', 'Aandelen en deelbewijzen'), ('Obligations', 'Obligaties'),
    ('Prêts et dépôts', 'Leningen en deposito\'s'),
]
for side, (fr_side, nl_side) in (('1', ('Recette', 'Ontvangst')), ('2', ('Dépense', 'Uitgave'))):
    for n, (fr, nl) in enumerate(natures):
        codfor.append(('3', f'{side}{n + 1:02d}', f'{fr_side} : {fr}', f'{nl_side}: {nl}'))
assert len(codfor) == 107, len(codfor)
write('CODFOR', ['TYPE', 'NUMBER', 'NAMEFR', 'NAMENL'], codfor,
      'Foreign payment codes (107 rows): charge codes, payment methods and the nature of the\n'
      'transaction for the balance-of-payments report. No public list of this exact shape exists;\n'
      'these rows are written here after the categories of the National Bank\'s reporting.')

# --- non-deductible expense codes ------------------------------------------------
nae = [
    ('Impôts non déductibles', 'Niet-aftrekbare belastingen'),
    ('Impôts régionaux', 'Gewestelijke belastingen'),
    ('Amendes, pénalités et confiscations', 'Geldboeten, straffen en verbeurdverklaringen'),
    ('Pensions, capitaux et cotisations non déductibles', 'Niet-aftrekbare pensioenen, kapitalen en bijdragen'),
    ('Frais de voiture non déductibles', 'Niet-aftrekbare autokosten'),
    ('Frais de voiture : avantage de toute nature', 'Autokosten: voordeel van alle aard'),
    ('Frais de réception', 'Receptiekosten'),
    ('Frais de restaurant', 'Restaurantkosten'),
    ('Frais de vêtements professionnels', 'Kosten voor beroepskledij'),
    ('Intérêts exagérés', 'Overdreven intresten'),
    ('Intérêts de certains emprunts', 'Intresten van bepaalde leningen'),
    ('Avantages anormaux ou bénévoles', 'Abnormale of goedgunstige voordelen'),
    ('Libéralités', 'Sociale voordelen en giften'),
    ('Réductions de valeur sur actions', 'Waardeverminderingen op aandelen'),
    ('Reprises d\'exonérations antérieures', 'Terugnemingen van vroegere vrijstellingen'),
    ('Participation des travailleurs', 'Werknemersparticipatie'),
    ('Indemnités pour coupon manquant', 'Vergoedingen ontbrekende coupon'),
    ('Frais de chèques-repas et sport/culture', 'Kosten maaltijd-, sport- en cultuurcheques'),
    ('Autres dépenses non admises', 'Andere verworpen uitgaven'),
]
write('CODENAE', ['CODE', 'NAMEFR', 'NAMENL'], [(f'{25 + i:03d}', fr, nl) for i, (fr, nl) in enumerate(nae)],
      'Non-deductible expense codes 025-043 with French and Dutch descriptions after the headings of\n'
      'the Belgian corporate tax return; written here, no machine-readable public list of this shape.')
