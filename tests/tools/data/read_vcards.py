# Prints each card of a vCard file as another program's reader (python3-vobject) reads it:
# name, organisation, numbers (tel: URIs as their numbers) and birthday, tab-separated.
import sys, urllib.parse, vobject
for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):
    f = ['N=%s;%s' % (card.n.value.family, card.n.value.given)]
    f += ['ORG=' + ';'.join(card.org.value)] if hasattr(card, 'org') else []
    f += sorted('TEL=' + urllib.parse.unquote(t.value.removeprefix('tel:'))
                for t in card.contents.get('tel', []))
    print('\t'.join(f + (['BDAY=' + card.bday.value] if hasattr(card, 'bday') else [])))
